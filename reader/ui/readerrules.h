// The reader's window-free rules (reader/core/readerrules.h), named in the windows' namespace
// so the windows call them as their own; twips, the Qt step of applying a zoom and the
// reader's own texts in the interface language come with them.
#pragma once

#include "core/twips.h"
#include "qt/language.h"
#include "qt/viewrules.h"
#include "reader/core/readerrules.h"

namespace folio::readerui {

using namespace folio::reader;

// The reader's own texts in the current interface language, from the language file in
// `programFolder`.
inline ReaderTextLookup readerTexts(const QString& programFolder) {
    return [programFolder](const ReaderText& text) {
        return folio::qt::CurrentLanguageText(programFolder, text.key, text.fallback).toStdString();
    };
}

} // namespace folio::readerui
