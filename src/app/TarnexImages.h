#pragma once

#include <QImage>
#include <QString>

// The main window's pictures, from the program's images by name.
namespace tarnex {

inline constexpr const char* kLeftTitle = "black_menu_kurz";
inline constexpr const char* kLeftTitleActive = "black_menu_kurz_aktiv";
inline constexpr const char* kMiddleTitle = "black_menu_mitte";
inline constexpr const char* kRightTitle = "black_menu_rechter_rand";
inline constexpr const char* kColourLine = "color-linie";
inline constexpr const char* kRoundButtonShadow = "RoundButtonShadow";
inline constexpr const char* kSheetGradient = "fs_einschub_verlauf";
inline constexpr const char* kLeftShadow = "fs_schatten_links";
inline constexpr const char* kTopShadow = "fs_schatten_oben";
inline constexpr const char* kRightShadow = "fs_schatten_rechts";
inline constexpr const char* kCornerShadow = "fs_schatten_ecke_oben_links";
inline constexpr const char* kStatusBackground = "fs_statusfenster";

QImage image(const char* name);
QImage image(const QString& name);
// The title font: the system font at the size of small controls.
QFont titleFont(const QFont& base);
// Draws the title in white, centred and cut at its end, in the bar inset by
// 19 points left and right.
void drawTitle(class QPainter& painter, const QRectF& bar, const QString& title, const QFont& font);
QRectF titleRect(const QRectF& bar, const QFont& font);

} // namespace tarnex
