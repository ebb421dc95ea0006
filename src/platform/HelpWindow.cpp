#include "HelpWindow.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace platform {

namespace {
constexpr int HrefRole = Qt::UserRole;

QString pageOf(const QUrl& url) { return url.fileName(); }
} // namespace

HelpWindow::HelpWindow(const QString& root, const QString& contentsPage)
    : m_root(root)
    , m_contentsPage(contentsPage)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(QStringLiteral("Orlenta 帮助"));

    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("helpTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tools->setIconSize(QSize(20, 20));
    m_back = tools->addAction(QIcon(QStringLiteral(":/icons/help-back.svg")), QStringLiteral("后退"));
    m_back->setObjectName(QStringLiteral("helpBack"));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    m_forward = tools->addAction(QIcon(QStringLiteral(":/icons/help-forward.svg")), QStringLiteral("前进"));
    m_forward->setObjectName(QStringLiteral("helpForward"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_forward->setEnabled(false);
    QAction* home = tools->addAction(QIcon(QStringLiteral(":/icons/help-home.svg")), QStringLiteral("目录"));
    home->setObjectName(QStringLiteral("helpHome"));

    m_contents = new QListWidget;
    m_contents->setObjectName(QStringLiteral("helpContents"));
    m_contents->setSpacing(2);
    m_browser = new QTextBrowser;
    m_browser->setObjectName(QStringLiteral("helpPage"));
    m_browser->setOpenExternalLinks(false);
    m_browser->setSearchPaths({ QLatin1Char(':') + m_root });

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(m_contents);
    split->addWidget(m_browser);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(split, 1);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { showPage(m_contentsPage); });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::pageChanged);
    connect(m_contents, &QListWidget::currentItemChanged, this, &HelpWindow::contentChosen);
    loadContents();
    // The list as wide as its longest topic, with room for a scroll bar: no topic is cut short.
    const int widest = m_contents->sizeHintForColumn(0) + 2 * m_contents->frameWidth() + 2 * m_contents->spacing()
        + m_contents->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_contents);
    m_contents->setMinimumWidth(widest);
    split->setSizes({ widest, 600 });
}

void HelpWindow::loadContents()
{
    // The contents page's own links, in its order: one list for the whole help file.
    QFile page(QLatin1Char(':') + m_root + QLatin1Char('/') + m_contentsPage);
    if (!page.open(QIODevice::ReadOnly))
        return;
    const QString html = QString::fromUtf8(page.readAll());
    static const QRegularExpression link(QStringLiteral("<a\\s+href=\"([^\"#]+)[^\"]*\"\\s*>(.*?)</a>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    auto* start = new QListWidgetItem(QStringLiteral("目录"), m_contents);
    start->setData(HrefRole, m_contentsPage);
    for (auto it = link.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        const QString href = match.captured(1);
        if (href == m_contentsPage)
            continue;
        auto* item = new QListWidgetItem(QTextDocumentFragment::fromHtml(match.captured(2)).toPlainText(), m_contents);
        item->setData(HrefRole, href);
    }
}

void HelpWindow::showPage(const QString& topic)
{
    m_browser->setSource(QUrl(QStringLiteral("qrc:") + m_root + QLatin1Char('/') + topic));
}

void HelpWindow::showMissing(const QString& helpFile, const QString& topic)
{
    m_browser->setHtml(QStringLiteral("<h3>无法显示帮助</h3><p>找不到帮助文件“%1”或其中的主题“%2”。</p>")
                           .arg(helpFile.toHtmlEscaped(), topic.toHtmlEscaped()));
}

void HelpWindow::pageChanged(const QUrl& source)
{
    const QString page = pageOf(source);
    m_syncing = true;
    m_contents->setCurrentItem(nullptr);
    for (int i = 0; i < m_contents->count(); ++i) {
        if (m_contents->item(i)->data(HrefRole).toString() == page) {
            m_contents->setCurrentRow(i);
            break;
        }
    }
    m_syncing = false;
}

void HelpWindow::contentChosen()
{
    if (m_syncing || !m_contents->currentItem())
        return;
    showPage(m_contents->currentItem()->data(HrefRole).toString());
}

} // namespace platform
