#pragma once

#include <functional>
#include <string>

class QWidget;

namespace quorvane::platform {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Results of a dialog, as the message-dialog buttons report them.
constexpr int mrNone = 0;
constexpr int mrOk = 1;

// What a modal dialog was asked to show. The error box of escaped exceptions has kind
// ErrorBox; the program's own message dialogs have kind MessageDialog.
struct DialogRequest {
    enum Kind { ErrorBox, MessageDialog };
    Kind kind = MessageDialog;
    TMsgDlgType type = TMsgDlgType::mtInformation;
    std::string title;
    std::string text;
};

// Replaces the modal dialogs of the process (tests record them instead of blocking on them).
// The hook returns the dialog's result. An empty hook restores the real dialogs. Returns the
// previous hook.
using DialogHook = std::function<int(const DialogRequest&)>;
DialogHook SetDialogHook(DialogHook hook);

// A modal message dialog with a single OK button, titled after its type; returns mrOk.
int MessageDlg(const std::string& text, TMsgDlgType type, QWidget* parent = nullptr);

// The standard error box: a modal dialog of the error kind with the given title.
void ShowErrorBox(const std::string& title, const std::string& text, QWidget* parent = nullptr);

// Keeps a dialog hook for the lifetime of the object (tests).
class ScopedDialogHook {
public:
    explicit ScopedDialogHook(DialogHook hook) : previous_(SetDialogHook(std::move(hook))) {}
    ~ScopedDialogHook() { SetDialogHook(std::move(previous_)); }
    ScopedDialogHook(const ScopedDialogHook&) = delete;
    ScopedDialogHook& operator=(const ScopedDialogHook&) = delete;

private:
    DialogHook previous_;
};

}  // namespace quorvane::platform
