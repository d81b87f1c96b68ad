#include "app/Twips.h"

#include <QScreen>

#include <cmath>

namespace tavik::app {

namespace {

int roundToPixels(double twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / Twips::perInch));
}

} // namespace

Twips::Twips(double dotsPerInchX, double dotsPerInchY)
    : dotsPerInchX_(dotsPerInchX)
    , dotsPerInchY_(dotsPerInchY)
{
}

Twips Twips::forScreen(const QScreen& screen)
{
    return Twips(screen.logicalDotsPerInchX(), screen.logicalDotsPerInchY());
}

int Twips::toPixelsX(double twips) const
{
    return roundToPixels(twips, dotsPerInchX_);
}

int Twips::toPixelsY(double twips) const
{
    return roundToPixels(twips, dotsPerInchY_);
}

QRect Twips::toPixelRect(double left, double top, double width, double height) const
{
    return QRect(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

} // namespace tavik::app
