// The reading window's toolbars (see readertoolbars.h).
#include "reader/ui/readertoolbars.h"

#include "reader/ui/imagelist.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <span>

namespace folio::readerui {

namespace {

void fill(QToolBar* bar, ImageList* images, std::span<const ToolbarButton> buttons) {
    for (const ToolbarButton& b : buttons) {
        if (b.separator()) {
            bar->addSeparator();
        } else {
            bar->addAction(images->icon(b.picture), QString::fromUtf8(b.caption));
        }
    }
}

} // namespace

ReaderToolbars::ReaderToolbars(QWidget* window, ImageList* images, Variant variant)
    : QObject(window) {
    m_toolbar1 = makeBar(window, "Toolbar1");
    fill(m_toolbar1, images, toolbar1Buttons());

    // The zoom-in button's drop-down list.
    auto* zoomMenu = new QMenu(window);
    for (const ZoomMenuEntry& e : zoomMenuEntries()) {
        QAction* a = zoomMenu->addAction(QString::fromLatin1(e.text));
        a->setObjectName(QString::fromLatin1(e.key));
        a->setData(e.percent);
    }
    connect(zoomMenu, &QMenu::triggered, this,
            [this](QAction* a) { emit zoomChosen(a->data().toInt()); });
    QAction* zoomButton = action(Toolbar1Button::ZoomIn);
    zoomButton->setMenu(zoomMenu);
    if (auto* tb = qobject_cast<QToolButton*>(m_toolbar1->widgetForAction(zoomButton))) {
        tb->setPopupMode(QToolButton::MenuButtonPopup);
    }
    // The read-aloud button's drop-down list: the sleep timer ("Sleep0" is off).
    auto* sleepMenu = new QMenu(window);
    sleepMenu->addSection(QStringLiteral("定时停止朗读"));
    auto* sleepGroup = new QActionGroup(sleepMenu);
    for (const folio::reader::SleepChoice choice : folio::reader::SleepChoices) {
        const std::string_view caption = folio::reader::sleepChoiceCaption(choice);
        QAction* a = sleepMenu->addAction(
            QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
        a->setObjectName(QStringLiteral("Sleep%1").arg(static_cast<int>(choice)));
        a->setCheckable(true);
        a->setChecked(choice == folio::reader::SleepChoice::Off);
        sleepGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, choice] { emit sleepChosen(choice); });
    }
    QAction* readButton = action(Toolbar1Button::ReadAloud);
    readButton->setMenu(sleepMenu);
    if (auto* tb = qobject_cast<QToolButton*>(m_toolbar1->widgetForAction(readButton))) {
        tb->setPopupMode(QToolButton::MenuButtonPopup);
    }
    action(Toolbar1Button::Pause)->setVisible(false); // until something plays

    m_toolbar2 = makeBar(window, "Toolbar2");
    fill(m_toolbar2, images, toolbar2Buttons());
    action(Toolbar2Button::Expand)->setVisible(false); // until the pane is closed
    if (variant == Variant::Page) {
        action(Toolbar2Button::Update)->setEnabled(false); // no action offline
    }

    if (variant == Variant::Net) {
        m_toolbar3 = makeBar(window, "Toolbar3");
        m_toolbar3->addAction(images->icon(DownloadButton.picture),
                              QString::fromUtf8(DownloadButton.caption));
        m_toolbar3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_toolbar3->setIconSize(QSize(16, 16));
        buildAddressBox(window);
    }
}

QToolBar* ReaderToolbars::makeBar(QWidget* window, const char* name) {
    auto* bar = new QToolBar(window);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    bar->setFloatable(false);
    return bar;
}

void ReaderToolbars::buildAddressBox(QWidget* window) {
    m_picture2 = new QFrame(window);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    auto* row = new QHBoxLayout(m_picture2);
    row->setContentsMargins(4, 4, 4, 4);
    auto* label = new QLabel(QStringLiteral("地址："), m_picture2);
    label->setObjectName(QStringLiteral("Label9"));
    m_comURL = new QComboBox(m_picture2);
    m_comURL->setObjectName(QStringLiteral("ComURL"));
    m_comURL->setEditable(true);
    m_comURL->setInsertPolicy(QComboBox::NoInsert);
    m_comURL->setMinimumWidth(120);
    row->addWidget(label);
    row->addWidget(m_comURL, 1);
    m_picture2->resize(420, 34);
    auto chosen = [this] {
        if (!m_comURL->currentText().isEmpty()) {
            emit addressChosen(m_comURL->currentText());
        }
    };
    connect(m_comURL, &QComboBox::activated, this, chosen);
    connect(m_comURL->lineEdit(), &QLineEdit::returnPressed, this, chosen);
}

QToolBar* ReaderToolbars::toolbar(int number) const {
    switch (number) {
    case 1:
        return m_toolbar1;
    case 2:
        return m_toolbar2;
    case 3:
        return m_toolbar3;
    default:
        return nullptr;
    }
}

QAction* ReaderToolbars::action(Command command) const {
    if (command == Command::Download)
        return m_toolbar3 ? downloadAction() : nullptr;
    for (int bar : {1, 2}) {
        for (int position = 1; button(bar, position); ++position) {
            if (toolbarCommand(bar, position) == command)
                return button(bar, position);
        }
    }
    return nullptr;
}

QAction* ReaderToolbars::button(int toolbarNumber, int index) const {
    QToolBar* bar = toolbar(toolbarNumber);
    if (!bar || index < 1 || index > bar->actions().size()) {
        return nullptr;
    }
    return bar->actions().at(index - 1);
}

void ReaderToolbars::captionsChanged() {
    // Measured with the captions shown, whichever style the last layout chose.
    for (QToolBar* bar : {m_toolbar1, m_toolbar2}) {
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        bar->setIconSize(QSize(24, 24));
    }
    m_toolbarTextWidth = 0;
}

int ReaderToolbars::layoutTop(int w, QWidget* panel) {
    // The toolbars stack at the top, full width; the speech panel fills the rest of the second
    // toolbar's row.
    int y = 0;
    // A window too narrow for the captions keeps every button, as icons with tooltips.
    if (m_toolbarTextWidth == 0) {
        m_toolbarTextWidth = m_toolbar1->sizeHint().width();
    }
    const bool captions = w >= m_toolbarTextWidth;
    for (QToolBar* bar : {m_toolbar1, m_toolbar2}) {
        bar->setToolButtonStyle(captions ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        bar->setIconSize(captions ? QSize(24, 24) : QSize(20, 20));
    }
    m_toolbar1->setGeometry(0, y, w, m_toolbar1->sizeHint().height());
    y += m_toolbar1->height();
    const int bar2Width = std::min(w, m_toolbar2->sizeHint().width());
    m_toolbar2->setGeometry(0, y, w, m_toolbar2->sizeHint().height());
    // The speech panel sits beside the second toolbar when there is room for it, if need be
    // without the captions it can do without; otherwise it takes a row of its own, dropping
    // those captions only if that row is too narrow as well. Longer captions (another
    // language) make it move rather than cover the toolbar's last buttons.
    const QList<QLabel*> optional = [panel] {
        QList<QLabel*> labels;
        for (const char* name : {"Label5", "Label6", "Label2"}) {
            if (auto* l = panel->findChild<QLabel*>(QString::fromLatin1(name))) {
                labels.push_back(l);
            }
        }
        return labels;
    }();
    // Drops optional captions, in order, until the panel fits in `room`; false if it never does.
    auto fitPanel = [&](int room) {
        for (QLabel* l : optional) {
            l->setVisible(true);
        }
        for (QLabel* l : optional) {
            if (panel->sizeHint().width() <= room) {
                return true;
            }
            l->setVisible(false);
        }
        return panel->sizeHint().width() <= room;
    };
    if (fitPanel(w - bar2Width)) {
        panel->setGeometry(bar2Width, y, w - bar2Width, m_toolbar2->height());
        y += m_toolbar2->height();
    } else {
        y += m_toolbar2->height();
        fitPanel(w);
        const int panelHeight = std::max(m_toolbar2->height(), panel->sizeHint().height());
        panel->setGeometry(0, y, w, panelHeight);
        y += panelHeight;
    }
    panel->raise();
    if (m_toolbar3) {
        m_toolbar3->setGeometry(0, y, w, m_toolbar3->sizeHint().height());
        // The address box fills the download toolbar's row after its one button.
        QWidget* first = m_toolbar3->widgetForAction(downloadAction());
        const int left = first ? first->geometry().right() + 8 : 120;
        m_picture2->setGeometry(left, y, std::max(0, w - left),
                                std::max(m_toolbar3->height(), m_picture2->sizeHint().height()));
        m_picture2->raise();
        y += m_picture2->height();
    }
    return y;
}

} // namespace folio::readerui
