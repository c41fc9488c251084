#include "app/gui/translation.h"

#include <QCoreApplication>
#include <QTranslator>

#include "app/gui/error_display.h"
#include "platform/exception.h"

namespace {

QTranslator& RussianTranslator() {
    static QTranslator translator;
    return translator;
}

}  // namespace

bool RussianLocale(const QLocale& locale) {
    return locale.language() == QLocale::Russian;
}

bool UseLocale(const QLocale& locale) {
    QTranslator& translator = RussianTranslator();
    QCoreApplication::removeTranslator(&translator);
    const bool russian = RussianLocale(locale);
    SetEnglishErrorLines(!russian);
    if (!russian) return false;
    if (translator.isEmpty() && !translator.load(QStringLiteral(":/i18n/quorvath_ru.qm")))
        throw Exception("Cannot load the Russian translation :/i18n/quorvath_ru.qm");
    QCoreApplication::installTranslator(&translator);
    return true;
}
