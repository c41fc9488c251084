#include "app/gui/progress_text.h"

#include <QCoreApplication>
#include <algorithm>

#include "app/progress_meter.h"

namespace {

QString Grouped(int64_t value) {
    return QString::fromStdString(GroupedNumber(value));
}

}  // namespace

QString ProgressText(const QString& table, int64_t done, int64_t total, double elapsed) {
    QString text = table.isEmpty() ? QString() : table + QStringLiteral(": ");
    if (total < 0)
        return text + QCoreApplication::translate("ProgressText", "%1 records").arg(Grouped(done));
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<int64_t>(done, total) * 100 / total);
    text += QCoreApplication::translate("ProgressText", "%1 of %2 records, %3%")
                .arg(Grouped(done), Grouped(total))
                .arg(percent);
    if (done > 0 && done < total && elapsed > 0) {
        const double left = static_cast<double>(total - done) * elapsed / static_cast<double>(done);
        text += QCoreApplication::translate("ProgressText", ", %1 left")
                    .arg(QString::fromStdString(ClockTime(left)));
    }
    return text;
}
