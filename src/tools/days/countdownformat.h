#pragma once

#include <QString>
#include <QtGlobal>

namespace days {

// "%1d %2:%3:%4" for a signed number of seconds: days without limit, then hours, minutes and
// seconds two digits wide. A negative span (the moment has passed) gets a space and agoWord
// behind it; zero counts as not yet passed.
QString formatCountdown(qint64 secs, const QString &agoWord);

} // namespace days
