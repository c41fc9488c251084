// The window's language: English texts on any desktop but a Russian one, which gets the
// Russian translation compiled into the program; error boxes on a non-Russian desktop add the
// English line after a Btrieve error's Russian message.
#pragma once

#include <QLocale>

// True for a Russian locale (language ru).
bool RussianLocale(const QLocale& locale);
// Installs the translation for locale (none: the English source texts) and sets the error
// boxes' English lines; true when the Russian translation is in use. A later call replaces
// the earlier one's choice.
bool UseLocale(const QLocale& locale);
