#pragma once

#include <QRect>

class QScreen;

namespace tavik::app {

// Converts the window's design units, twips (1/1440 inch), to pixels at one logical resolution.
// Each value is rounded to the nearest pixel on its own, so a control keeps the size its twips
// give it wherever it stands.
class Twips {
public:
    static constexpr double perInch = 1440.0;

    Twips(double dotsPerInchX, double dotsPerInchY);

    // The logical resolution of the screen the window is shown on.
    static Twips forScreen(const QScreen& screen);

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    QRect toPixelRect(double left, double top, double width, double height) const;

private:
    double dotsPerInchX_;
    double dotsPerInchY_;
};

} // namespace tavik::app
