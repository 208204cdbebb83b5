// The reader's about box: the common about box with what the reader is for; modal.
#pragma once

#include "qt/aboutbox.h"

namespace folio::readerui {

class frmAbout : public folio::qt::AboutBox {
    Q_OBJECT
  public:
    // `version` is "major.minor.revision". The description, the version line and the button
    // are in the interface language, from the language file in `programFolder`.
    frmAbout(QWidget* parent, const QString& appTitle, const QString& version,
             const QString& programFolder = {});
};

} // namespace folio::readerui
