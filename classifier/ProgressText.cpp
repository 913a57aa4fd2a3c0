#include "ProgressText.h"

#include "SorrelTexts.h"

#include <cmath>

namespace {
QString duration(double seconds)
{
    const long long total = std::llround(std::max(seconds, 0.0));
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

QString ProgressText(std::int64_t done, std::int64_t total, double elapsedSeconds)
{
    const double rate = elapsedSeconds > 0 ? double(done) / elapsedSeconds : 0;
    if (total <= 0)
        return QString::fromUtf8(SorrelText::ProgressNoTotal).arg(done).arg(std::llround(rate));
    const QString left = rate > 0 ? duration(double(std::max<std::int64_t>(total - done, 0)) / rate)
                                  : QStringLiteral("?");
    return QString::fromUtf8(SorrelText::Progress)
            .arg(done)
            .arg(total)
            .arg(std::llround(rate))
            .arg(left);
}
