// SPDX-License-Identifier: GPL-2.0-or-later
#include "PlainText.h"

#include <QTextDocument>

QString shownAsPlainText(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}
