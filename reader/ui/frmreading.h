// The reading settings panel: theme, type, spacing and the book's own style, changed while
// the page shows them; "设为默认" makes them the default for books not yet read.
#pragma once

#include "reader/core/reading.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace folio::readerui {

class FrmReading : public QDialog {
    Q_OBJECT
  public:
    // `programFolder` holds the language file the panel's texts come from.
    FrmReading(QWidget* parent, const reader::ReadingSettings& settings, QString programFolder);

    reader::ReadingSettings settings() const;

  signals:
    // Every change, at once.
    void changed(const folio::reader::ReadingSettings& settings);
    void setAsDefault(const folio::reader::ReadingSettings& settings);

  private:
    QString text(const char* key, const char* fallback) const;
    void chooseColour(QPushButton* button);
    void showColour(QPushButton* button, const QString& colour);
    void emitChanged();

    QString m_programFolder;
    QComboBox* m_theme = nullptr;
    QPushButton* m_foreground = nullptr;
    QPushButton* m_background = nullptr;
    QComboBox* m_font = nullptr;
    QSpinBox* m_fontSize = nullptr;
    QDoubleSpinBox* m_lineHeight = nullptr;
    QDoubleSpinBox* m_paragraph = nullptr;
    QSpinBox* m_margin = nullptr;
    QSpinBox* m_maxWidth = nullptr;
    QCheckBox* m_bookStyle = nullptr;
    QCheckBox* m_statusLine = nullptr;
    QLineEdit* m_userStyle = nullptr;
    bool m_filling = false;
};

} // namespace folio::readerui
