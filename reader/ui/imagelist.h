// The reading window's image list ImgIcon: the toolbar pictures reader/core describes, drawn
// at run time.
#pragma once

#include <QIcon>
#include <QObject>
#include <QVector>

namespace folio::readerui {

class ImageList : public QObject {
    Q_OBJECT
  public:
    explicit ImageList(QObject* parent = nullptr);

    // The picture at a 1-based index (1..21); a null icon outside.
    QIcon icon(int index) const;
    int count() const { return static_cast<int>(m_icons.size()); }

  private:
    QVector<QIcon> m_icons;
};

} // namespace folio::readerui
