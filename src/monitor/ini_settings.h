#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// The settings functions. Each one opens the file through a fresh in-memory store, does one
// thing and releases the store, so the file on disk is the only state between calls. Section
// and key names match ignoring case. A failed write raises EFCreateError, an unreadable file
// EFOpenError.

// The settings file's name for an executable: its file name without the directory, the
// extension replaced by ".ini" (appended when there is none). No directory: the file lives in
// the current working directory.
std::string IniFileNameFor(const std::string& executablePath);
// The section's name: the executable's file name without directory and extension.
std::string IniSectionNameFor(const std::string& executablePath);

// Both for the running executable.
std::string IniFileName();
std::string IniSectionName();

// Writes an empty store (a file of zero bytes) when the file does not exist; returns whether
// it exists afterwards.
bool EnsureIniFile(const std::string& fileName);
bool IniValueExists(const std::string& fileName, const std::string& section, const std::string& key);
// A key missing from the file is first written to it with the default; the default is then
// returned.
std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key,
                          const std::string& defaultValue);
int32_t IniReadInteger(const std::string& fileName, const std::string& section, const std::string& key,
                       int32_t defaultValue);
// Store the value and rewrite the file at once; true on success.
bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value);
bool IniWriteInteger(const std::string& fileName, const std::string& section, const std::string& key,
                     int32_t value);

}  // namespace quorvane
