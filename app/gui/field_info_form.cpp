#include "app/gui/field_info_form.h"

TFieldInfoFrm::TFieldInfoFrm(const QWidget* mainForm) {
    setObjectName(QStringLiteral("FieldInfoFrm"));
    setWindowTitle(QStringLiteral("FieldInfoFrm"));
    resize(265, 298);
    if (mainForm) move(mainForm->geometry().center() - rect().center());
}
