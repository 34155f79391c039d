#pragma once

#include <string>

namespace quorvane {

// Replaces the file for node_exporter's textfile collector. The text goes to a hidden file in
// the same folder (the collector reads only *.prom) and is renamed over the old one, so a
// scrape sees the last complete poll or the one before, never a mix or an empty file. Raises
// EFCreateError, naming the file, its folder and the reason, when the folder cannot take the
// temporary file; the file is then left as it was, never rewritten in place.
void WriteTextfile(const std::string& path, const std::string& content);

}  // namespace quorvane
