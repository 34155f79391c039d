#include "platform/gui/dialogs.h"

#include <QMessageBox>

#include <mutex>

#include "platform/gui/gui_text.h"

namespace quorvane::platform {

namespace {

DialogHook& Hook() {
    static DialogHook hook;
    return hook;
}

const char* CaptionOf(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning: return "Warning";
        case TMsgDlgType::mtError: return "Error";
        case TMsgDlgType::mtInformation: return "Information";
        case TMsgDlgType::mtConfirmation: return "Confirm";
        case TMsgDlgType::mtCustom: break;
    }
    return "";
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning: return QMessageBox::Warning;
        case TMsgDlgType::mtError: return QMessageBox::Critical;
        case TMsgDlgType::mtInformation: return QMessageBox::Information;
        case TMsgDlgType::mtConfirmation: return QMessageBox::Question;
        case TMsgDlgType::mtCustom: break;
    }
    return QMessageBox::NoIcon;
}

int Show(const DialogRequest& request, QWidget* parent) {
    if (const DialogHook hook = Hook()) return hook(request);
    QMessageBox box(IconOf(request.type), ToQString(request.title), ToQString(request.text),
                    QMessageBox::Ok, parent);
    // Messages quote file names, addresses and answers: data, never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return mrOk;
}

}  // namespace

DialogHook SetDialogHook(DialogHook hook) {
    DialogHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

int MessageDlg(const std::string& text, TMsgDlgType type, QWidget* parent) {
    DialogRequest request;
    request.kind = DialogRequest::MessageDialog;
    request.type = type;
    request.title = CaptionOf(type);
    request.text = text;
    return Show(request, parent);
}

void ShowErrorBox(const std::string& title, const std::string& text, QWidget* parent) {
    DialogRequest request;
    request.kind = DialogRequest::ErrorBox;
    request.type = TMsgDlgType::mtError;
    request.title = title;
    request.text = text;
    Show(request, parent);
}

}  // namespace quorvane::platform
