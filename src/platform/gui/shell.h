#pragma once

#include <string>

class QWidget;

namespace quorvane::platform {

constexpr int SW_SHOW = 5;

// Results at or below 32 are failures, as the desktop shell reports them.
constexpr int SE_ERR_FNF = 2;          // the opener program is missing
constexpr int SE_ERR_ACCESSDENIED = 5;  // it could not be started
constexpr int SE_ERR_NOASSOC = 31;      // it ran but could not open the file or URL
constexpr int ShellExecuteSuccess = 42;

// Asks the desktop to open a file or URL with its default handler: starts "xdg-open" (looked
// up on PATH) with the file as its one argument and waits for its verdict at most about a
// second; an opener still running then has started the browser and counts as success (it is
// reaped when it ends). Returns a value above 32 when the opener reported success or is still
// running, 32 or below otherwise (a missing opener included). Only
// the verb "open" is known; parameters, directory and show command have no counterpart on
// this desktop and are accepted for the callers' sake.
int ShellExecuteA(QWidget* parent, const std::string& operation, const std::string& file,
                  const std::string& parameters, const std::string& directory, int showCmd);

}  // namespace quorvane::platform
