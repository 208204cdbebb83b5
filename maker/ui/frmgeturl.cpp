// The link analysis window (see frmgeturl.h).
#include "maker/ui/frmgeturl.h"

#include "maker/generators/convert.h"
#include "maker/ui/companionsupport.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace folio::maker {

namespace {

// Every element of the document in order; for each "A" its inner text, its address as the
// browser resolved it, and its inner HTML (what the keywords are looked for in). Plain ES5:
// the preview may show any page.
const char* const LinkScript = R"js(
(function () {
  var all = document.all || document.getElementsByTagName('*');
  var out = [];
  for (var i = 0; i < all.length; i++) {
    var e = all[i];
    if (!e.tagName || String(e.tagName).toUpperCase() !== 'A') continue;
    var href = typeof e.href === 'string' ? e.href : (e.getAttribute('href') || '');
    out.push([e.innerText || '', href, e.innerHTML || '']);
  }
  return out;
})()
)js";

} // namespace

FrmGetURL::FrmGetURL(QWidget* parent, QWebEnginePage* page, folio::Observer& observer)
    : QWidget(parent, Qt::Window), m_page(page), m_observer(observer) {
    setObjectName(QStringLiteral("FrmGetURL"));
    setWindowTitle(QStringLiteral("分析网址"));

    m_option1 = new QRadioButton(QStringLiteral("全部连接"), this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("保留含有下面关键字的连接"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_option1);
    group->addButton(m_option2);
    m_option1->setChecked(true);

    m_text1 = new QLineEdit(QStringLiteral("章,节,卷"), this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    auto* keywords = new QHBoxLayout;
    keywords->addWidget(new QLabel(QStringLiteral("关键字："), this));
    keywords->addWidget(m_text1, 1);

    m_command1 = new QPushButton(QStringLiteral("分析"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_option1);
    layout->addWidget(m_option2);
    layout->addLayout(keywords);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(360, 180);

    connect(m_command1, &QPushButton::clicked, this, &FrmGetURL::analyse);
}

folio::fetch::LinkLists FrmGetURL::choose(const folio::fetch::LinkLists& all) const {
    if (m_option2->isChecked())
        return folio::fetch::filterLinksByKeywords(all, utf8(m_text1->text()));
    return all;
}

void FrmGetURL::analyse() {
    if (m_analysing)
        return;
    if (!m_page) {
        // Nothing shown in the preview: an empty document has no links.
        finish({});
        return;
    }
    m_analysing = true;
    m_command1->setEnabled(false);
    QPointer<FrmGetURL> self(this);
    m_page->runJavaScript(QString::fromUtf8(LinkScript), QWebEngineScript::ApplicationWorld,
                          [self](const QVariant& result) {
                              if (!self)
                                  return;
                              folio::fetch::LinkLists all;
                              for (const QVariant& item : result.toList()) {
                                  const QVariantList link = item.toList();
                                  if (link.size() < 3)
                                      continue;
                                  all.texts.push_back(utf8(link[0].toString()));
                                  all.targets.push_back(utf8(link[1].toString()));
                                  all.htmls.push_back(utf8(link[2].toString()));
                              }
                              self->finish(all);
                          });
}

void FrmGetURL::finish(const folio::fetch::LinkLists& all) {
    const folio::fetch::LinkLists kept = choose(all);
    QStringList texts, targets;
    texts.reserve(qsizetype(kept.texts.size()));
    targets.reserve(qsizetype(kept.targets.size()));
    for (const auto& t : kept.texts)
        texts << qs(t);
    for (const auto& t : kept.targets)
        targets << qs(t);
    emit linksFound(texts, targets);
    m_analysing = false;
    m_command1->setEnabled(true);
    m_observer.messageBox("分析网页链接完成！", folio::generators::MakerTitle,
                          folio::MessageIcon::Information);
    hide();
}

} // namespace folio::maker
