#include "countdownformat.h"

namespace days {

QString formatCountdown(qint64 secs, const QString &agoWord)
{
    const bool isPast = secs < 0;
    // Unsigned negation, so even the most negative qint64 has a magnitude.
    const quint64 a = isPast ? quint64(0) - quint64(secs) : quint64(secs);
    const quint64 days = a / 86400;
    const quint64 hours = (a % 86400) / 3600;
    const quint64 minutes = (a % 3600) / 60;
    const quint64 seconds = a % 60;

    QString text = QStringLiteral("%1d %2:%3:%4")
                       .arg(days)
                       .arg(hours, 2, 10, QLatin1Char('0'))
                       .arg(minutes, 2, 10, QLatin1Char('0'))
                       .arg(seconds, 2, 10, QLatin1Char('0'));
    if (isPast) {
        text += QLatin1Char(' ') + agoWord;
    }
    return text;
}

} // namespace days
