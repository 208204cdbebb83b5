// The exit window of full-screen reading (see frmfullscreenb.h).
#include "reader/ui/frmfullscreenb.h"

#include "qt/language.h"
#include "reader/ui/companionrules.h"
#include "reader/ui/readerrules.h"

#include <QAction>
#include <QCloseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>
#include <QVBoxLayout>

namespace folio::readerui {

namespace {

// Design position and client size of the window, in twips.
constexpr int DesignLeft = 11250;
constexpr int DesignTop = 6420;
constexpr int ClientSize = 405;

// Four corner brackets pointing inwards: "make the page smaller again".
QIcon exitFullScreenIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(30, 70, 140), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const int a = 4, b = 10, c = 14, d = 20;
    p.drawPolyline(QPolygon({QPoint(a, b), QPoint(b, b), QPoint(b, a)}));
    p.drawPolyline(QPolygon({QPoint(c, a), QPoint(c, b), QPoint(d, b)}));
    p.drawPolyline(QPolygon({QPoint(a, c), QPoint(b, c), QPoint(b, d)}));
    p.drawPolyline(QPolygon({QPoint(d, c), QPoint(c, c), QPoint(c, d)}));
    return QIcon(pixmap);
}

} // namespace

FrmFullScreenB::FrmFullScreenB(QWidget* parent, std::function<void()> exitFullScreen)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_exitFullScreen(std::move(exitFullScreen)) {
    setObjectName(QStringLiteral("FrmFullScreenB"));
    setWindowTitle(QString());
    setAttribute(Qt::WA_DeleteOnClose);
    fixClientTwips(this, ClientSize, ClientSize);
    move(twipsToPixels(DesignLeft), twipsToPixels(DesignTop));

    m_imgFull << exitFullScreenIcon();

    m_tbrFull = new QToolBar(this);
    m_tbrFull->setObjectName(QStringLiteral("tbrFull"));
    m_tbrFull->setIconSize(QSize(20, 20));
    m_tbrFull->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Its label shows as the button's tooltip, in the interface language once it is applied.
    m_exit = m_tbrFull->addAction(image(1), QStringLiteral("退出全屏"));
    connect(m_exit, &QAction::triggered, this, &FrmFullScreenB::exitClicked);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tbrFull, 0, Qt::AlignCenter);
    folio::qt::ApplyCurrentLanguage(this);
}

QIcon FrmFullScreenB::image(int index) const {
    return index >= 1 && index <= m_imgFull.size() ? m_imgFull[index - 1] : QIcon();
}

void FrmFullScreenB::exitClicked() {
    if (m_exitFullScreen)
        m_exitFullScreen();
    closeFromButton();
}

void FrmFullScreenB::closeFromButton() {
    m_closing = true;
    close();
}

void FrmFullScreenB::closeEvent(QCloseEvent* event) {
    // Without a Close command the window manager's own close request is refused: only the
    // button (or the full-screen window going away) ends it.
    if (!m_closing) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace folio::readerui
