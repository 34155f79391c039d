#pragma once

class QColor;

namespace quorvane::platform {

// The contrast ratio of two colours as the web's accessibility guidelines define it, from 1
// (the same luminance) to 21 (black on white); 4.5 is the least they ask of ordinary text.
double ContrastRatio(const QColor& first, const QColor& second);

constexpr double kReadableContrast = 4.5;

}  // namespace quorvane::platform
