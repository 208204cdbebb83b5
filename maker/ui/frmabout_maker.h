// The workbench's about box: the common about box with what the maker is for; not modal.
#pragma once

#include "qt/aboutbox.h"

namespace folio::maker {

class frmAbout : public folio::qt::AboutBox {
    Q_OBJECT
  public:
    // `version` is "major.minor.revision".
    frmAbout(QWidget* parent, const QString& appTitle, const QString& version);
};

} // namespace folio::maker
