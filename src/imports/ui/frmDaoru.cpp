#include "frmDaoru.h"

#include "PreviewModel.h"

#include "imports/ReadError.h"
#include "platform/CsvWriter.h"
#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Widgets.h"
#include "platform/XlsxWriter.h"
#include "store/Connection.h"
#include "store/DbError.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace imports;
using platform::MsgBox;

namespace {

QString titleOf(Kind kind) { return kind == Kind::Students ? QStringLiteral("导入学生信息") : QStringLiteral("导入成绩"); }

// The wait cursor for as long as the object lives.
struct Waiting {
    Waiting() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~Waiting() { QApplication::restoreOverrideCursor(); }
};

// The window's progress for a long step (checking, importing): modal to it, shown after 300 ms.
void setUpProgress(QProgressDialog& progress, const char* name, const QString& title)
{
    progress.setObjectName(QString::fromLatin1(name));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
}

} // namespace

frmDaoru::frmDaoru()
{
    setWindowTitle(titleOf(Kind::Students));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto* top = new QHBoxLayout;
    lblFile = ui::label(central, "lblFile", QString());
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cboSheet = new QComboBox(central);
    cboSheet->setObjectName(QStringLiteral("cboSheet"));
    cboEncoding = new QComboBox(central);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItem(QStringLiteral("UTF-8"), int(Encoding::Utf8));
    cboEncoding->addItem(QStringLiteral("GB18030 (GBK)"), int(Encoding::Gb18030));
    lblSeparator = ui::label(central, "lblSeparator", QString());
    top->addWidget(ui::label(central, "lblFileCaption", QStringLiteral("文件:")));
    top->addWidget(lblFile, 1);
    lblSheet = ui::label(central, "lblSheet", QStringLiteral("工作表:"));
    lblEncoding = ui::label(central, "lblEncoding", QStringLiteral("编码:"));
    top->addWidget(lblSheet);
    top->addWidget(cboSheet);
    top->addWidget(lblEncoding);
    top->addWidget(cboEncoding);
    top->addWidget(lblSeparator);

    famMapping = ui::frame(central, "famMapping", QStringLiteral("列的对应"));
    dgdMapping = new QTableWidget(famMapping);
    dgdMapping->setObjectName(QStringLiteral("dgdMapping"));
    dgdMapping->setColumnCount(2);
    dgdMapping->setHorizontalHeaderLabels({ QStringLiteral("文件中的列"), QStringLiteral("导入为") });
    dgdMapping->verticalHeader()->hide();
    dgdMapping->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    dgdMapping->verticalHeader()->setDefaultSectionSize(dgdMapping->fontMetrics().height() + 12);
    dgdMapping->horizontalHeader()->setStretchLastSection(true);
    dgdMapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgdMapping->setSelectionMode(QAbstractItemView::NoSelection);
    dgdMapping->setMinimumSize(200, 110);
    auto* mappingLayout = new QVBoxLayout(famMapping);
    mappingLayout->addWidget(dgdMapping);
    auto* hint = ui::label(famMapping, "lblHint",
        QStringLiteral("院系、班级、学籍情况和课程可写全称或代码。已有学生的空白单元格不修改原值。"));
    hint->setWordWrap(true);
    mappingLayout->addWidget(hint);

    famPreview = ui::frame(central, "famPreview", QStringLiteral("预览"));
    dgdPreview = new QTableView(famPreview);
    dgdPreview->setObjectName(QStringLiteral("dgdPreview"));
    m_model = new PreviewModel(this);
    dgdPreview->setModel(m_model);
    dgdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgdPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    dgdPreview->setWordWrap(false);
    dgdPreview->verticalHeader()->hide();
    // Rows of one height, columns sized by their captions: nothing is measured over every row.
    dgdPreview->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dgdPreview->verticalHeader()->setDefaultSectionSize(dgdPreview->fontMetrics().height() + 8);
    dgdPreview->horizontalHeader()->setStretchLastSection(true);
    dgdPreview->setMinimumSize(320, 140);
    lblSummary = ui::label(famPreview, "lblSummary", QString());
    chkErrors = ui::checkBox(famPreview, "chkErrors", QStringLiteral("只显示有错误的行"));
    auto* previewTop = new QHBoxLayout;
    previewTop->addWidget(lblSummary, 1);
    previewTop->addWidget(chkErrors);
    auto* previewLayout = new QVBoxLayout(famPreview);
    previewLayout->addLayout(previewTop);
    previewLayout->addWidget(dgdPreview);

    auto* bottom = new QHBoxLayout;
    optValid = ui::option(central, "optValid", QStringLiteral("导入没有错误的行"));
    optNothing = ui::option(central, "optNothing", QStringLiteral("有错误的行时不导入任何行"));
    optValid->setChecked(true);
    cmdImport = ui::button(central, "cmdImport", QStringLiteral("导入(&I)"));
    cmdExport = ui::button(central, "cmdExport", QStringLiteral("导出错误行(&E)…"));
    cmdClose = ui::button(central, "cmdClose", QStringLiteral("关闭(&C)"));
    bottom->addWidget(optValid);
    bottom->addWidget(optNothing);
    bottom->addStretch(1);
    bottom->addWidget(cmdExport);
    bottom->addWidget(cmdImport);
    bottom->addWidget(cmdClose);

    auto* middle = new QHBoxLayout;
    middle->addWidget(famMapping, 1);
    middle->addWidget(famPreview, 3);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    resize(1000, 600);

    on(cboSheet, &QComboBox::activated, &frmDaoru::cboSheet_Click);
    on(cboEncoding, &QComboBox::activated, &frmDaoru::cboEncoding_Click);
    on(chkErrors, &QCheckBox::toggled, &frmDaoru::chkErrors_Click);
    on(cmdImport, &QPushButton::clicked, &frmDaoru::cmdImport_Click);
    on(cmdExport, &QPushButton::clicked, &frmDaoru::cmdExport_Click);
    on(cmdClose, &QPushButton::clicked, &frmDaoru::cmdClose_Click);
}

frmDaoru::~frmDaoru() { m_model->setPlan(nullptr); }

platform::Form* frmDaoru::openFor(Kind kind)
{
    const QString path = platform::FileDialog::openFileName(nullptr, titleOf(kind), QString(), TableReader::fileFilter());
    if (path.isEmpty())
        return nullptr;
    auto* form = static_cast<frmDaoru*>(platform::Forms::load(QStringLiteral("frmDaoru")));
    if (!form)
        return nullptr;
    if (!form->openFile(kind, path)) {
        platform::Forms::unload(form);
        return nullptr;
    }
    platform::Forms::show(form);
    return form;
}

store::Connection& frmDaoru::connection()
{
    if (!m_connection)
        m_connection = store::Connection::program();
    return *m_connection;
}

bool frmDaoru::openFile(Kind kind, const QString& path)
{
    setWindowTitle(titleOf(kind));
    try {
        Waiting waiting;
        m_importer = std::make_unique<Importer>(kind, path);
    } catch (const ReadError& error) {
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return false;
    }
    lblFile->setText(QDir::toNativeSeparators(path));
    m_filling = true;
    cboSheet->clear();
    cboSheet->addItems(m_importer->sheets());
    cboSheet->setEnabled(m_importer->sheets().size() > 1);
    const auto encoding = m_importer->encoding();
    // A workbook has sheets and no encoding; a CSV file the other way round.
    for (QWidget* w : { static_cast<QWidget*>(lblSheet), static_cast<QWidget*>(cboSheet) })
        w->setVisible(!encoding.has_value());
    for (QWidget* w : { static_cast<QWidget*>(lblEncoding), static_cast<QWidget*>(cboEncoding), static_cast<QWidget*>(lblSeparator) })
        w->setVisible(encoding.has_value());
    cboEncoding->setCurrentIndex(encoding ? cboEncoding->findData(int(*encoding)) : -1);
    const QChar separator = m_importer->separator();
    lblSeparator->setText(separator.isNull() ? QString()
            : QStringLiteral("分隔符: %1").arg(separator == u'\t' ? QStringLiteral("制表符") : QString(separator)));
    m_filling = false;
    showMapping();
    recheck();
    return true;
}

void frmDaoru::showMapping()
{
    m_filling = true;
    const ColumnMapping& mapping = m_importer->mapping();
    dgdMapping->setRowCount(mapping.columnCount());
    const QVector<Field> fields = ColumnMapping::fieldsOf(mapping.kind());
    for (int column = 0; column < mapping.columnCount(); ++column) {
        const QString caption = mapping.captions().value(column);
        dgdMapping->setItem(column, 0,
            new QTableWidgetItem(caption.isEmpty() ? QStringLiteral("（第 %1 列）").arg(column + 1) : caption));
        auto* combo = qobject_cast<QComboBox*>(dgdMapping->cellWidget(column, 1));
        if (!combo) {
            combo = new QComboBox(dgdMapping);
            combo->setObjectName(QStringLiteral("cboField%1").arg(column));
            combo->addItem(ColumnMapping::name(Field::None), int(Field::None));
            for (Field f : fields)
                combo->addItem(ColumnMapping::name(f), int(f));
            dgdMapping->setCellWidget(column, 1, combo);
            connect(combo, &QComboBox::activated, this, [this, column] { run([this, column] { dgdMapping_Change(column); }); });
        }
        combo->setCurrentIndex(combo->findData(int(mapping.field(column))));
    }
    m_filling = false;
}

bool frmDaoru::track(QProgressDialog& dialog, double fraction)
{
    dialog.setValue(int(fraction * 1000));
    // The dialog itself lets events through only once it is shown (after a moment); until then
    // the window keeps painting, but no click reaches it in the middle of the work.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return !dialog.wasCanceled();
}

void frmDaoru::recheck()
{
    m_model->setPlan(nullptr);
    m_plan.reset();
    const QString missing = m_importer->mapping().missing();
    if (!missing.isEmpty()) {
        lblSummary->setText(missing + QStringLiteral("请在左侧指定。"));
        showPlan();
        return;
    }
    QProgressDialog progress(QStringLiteral("正在检查文件中的每一行…"), QStringLiteral("取消"), 0, 1000, this);
    setUpProgress(progress, "prgCheck", windowTitle());
    try {
        Waiting waiting;
        m_plan = std::make_unique<Plan>(m_importer->check(connection(), [&](double f) { return track(progress, f); }));
        lblSummary->setText(m_plan->summary());
    } catch (const Cancelled&) {
        lblSummary->setText(QStringLiteral("检查已取消。"));
    } catch (const ReadError& error) {
        lblSummary->setText(QString());
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
    }
    progress.reset();
    showPlan();
}

void frmDaoru::showPlan()
{
    m_model->setPlan(m_plan.get());
    const QStringList keys = m_plan ? Plan::keyCaptions(m_plan->kind) : QStringList();
    // Fixed widths by what the columns hold, in characters: nothing is measured over the rows.
    const int em = dgdPreview->fontMetrics().horizontalAdvance(QStringLiteral("中"));
    const int digit = dgdPreview->fontMetrics().horizontalAdvance(QStringLiteral("0"));
    QVector<int> widths { 6 * digit, 3 * em };
    for (const QString& key : keys)
        widths << (key == QStringLiteral("学号") ? 12 * digit : key == QStringLiteral("成绩") ? 5 * digit
                      : key == QStringLiteral("考试时间") ? 10 * digit : 5 * em);
    for (int c = 0; c < widths.size(); ++c)
        dgdPreview->setColumnWidth(c, widths[c] + 8);
    const bool any = m_plan && (m_plan->count(Verdict::New) + m_plan->count(Verdict::Changed)) > 0;
    cmdImport->setEnabled(any);
    cmdExport->setEnabled(m_plan && m_plan->count(Verdict::Error) > 0);
}

void frmDaoru::cboSheet_Click()
{
    if (m_filling || !m_importer || cboSheet->currentIndex() == m_importer->sheet())
        return;
    try {
        m_importer->setSheet(cboSheet->currentIndex());
    } catch (const ReadError& error) {
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return;
    }
    showMapping();
    recheck();
}

void frmDaoru::cboEncoding_Click()
{
    if (m_filling || !m_importer || cboEncoding->currentIndex() < 0)
        return;
    try {
        m_importer->setEncoding(Encoding(cboEncoding->currentData().toInt()));
    } catch (const ReadError& error) {
        MsgBox::show(error.text(), QStringLiteral("抱歉"), MsgBox::Icon::Exclamation);
        return;
    }
    showMapping();
    recheck();
}

void frmDaoru::dgdMapping_Change(int column)
{
    if (m_filling || !m_importer)
        return;
    auto* combo = qobject_cast<QComboBox*>(dgdMapping->cellWidget(column, 1));
    if (!combo)
        return;
    m_importer->setField(column, Field(combo->currentData().toInt()));
    showMapping();
    recheck();
}

void frmDaoru::chkErrors_Click() { m_model->setOnlyErrors(chkErrors->isChecked()); }

void frmDaoru::cmdImport_Click()
{
    if (!m_plan)
        return;
    const int errors = m_plan->count(Verdict::Error);
    const int writes = m_plan->count(Verdict::New) + m_plan->count(Verdict::Changed);
    if (errors > 0 && optNothing->isChecked()) {
        MsgBox::show(QStringLiteral("有 %1 行有错误，按您的选择没有导入任何行。请改正文件后重新导入，或导出错误行。").arg(errors),
            QStringLiteral("注意"), MsgBox::Icon::Information);
        return;
    }
    if (errors > 0
        && MsgBox::show(QStringLiteral("有 %1 行有错误，不会导入。是否导入其余 %2 行（新增 %3，修改 %4）?")
                            .arg(errors)
                            .arg(writes)
                            .arg(m_plan->count(Verdict::New))
                            .arg(m_plan->count(Verdict::Changed)),
               QStringLiteral("询问"), MsgBox::Icon::Question, MsgBox::Buttons::YesNo)
            != MsgBox::Answer::Yes)
        return;
    QProgressDialog progress(QStringLiteral("正在导入…"), QStringLiteral("取消"), 0, 1000, this);
    setUpProgress(progress, "prgImport", windowTitle());
    Applier::Options options;
    options.allOrNothing = optNothing->isChecked();
    options.source = QFileInfo(m_importer->path()).fileName();
    options.progress = [&](double f) { return track(progress, f); };
    try {
        Waiting waiting;
        const Applier::Result result = Applier::apply(connection(), *m_plan, options);
        progress.reset();
        MsgBox::show(QStringLiteral("导入完成：新增 %1 行，修改 %2 行。").arg(result.added).arg(result.changed),
            QStringLiteral("成功"), MsgBox::Icon::Information);
        // The plan is spent: importing it again would find every row changed already.
        cmdImport->setEnabled(false);
        lblSummary->setText(m_plan->summary() + QStringLiteral("（已导入）"));
    } catch (const Cancelled&) {
        progress.reset();
        MsgBox::show(QStringLiteral("已取消导入，数据库没有任何改动。"), QStringLiteral("提示"), MsgBox::Icon::Information);
    } catch (const store::DbError& error) {
        progress.reset();
        MsgBox::show(error.text());
    }
}

void frmDaoru::cmdExport_Click()
{
    if (!m_plan || !m_importer)
        return;
    const QFileInfo source(m_importer->path());
    const QString proposed = source.dir().filePath(source.completeBaseName() + QStringLiteral("-错误行.xlsx"));
    const QString path = platform::FileDialog::saveFileName(this, QStringLiteral("导出错误行"), proposed,
        QStringLiteral("Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv)"), QStringLiteral("xlsx"));
    if (path.isEmpty())
        return;
    std::unique_ptr<platform::TableWriter> writer;
    if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        writer = std::make_unique<platform::CsvWriter>();
    else
        writer = std::make_unique<platform::XlsxWriter>(QStringLiteral("错误行"));
    QStringList captions = m_importer->mapping().captions();
    captions << QStringLiteral("错误原因");
    try {
        Waiting waiting;
        writer->begin(path, captions);
        int row = 0;
        const Plan& plan = *m_plan;
        m_importer->forEachRow([&](const SourceRow& source) {
            const int at = row++;
            if (at >= plan.rows() || plan.verdict(at) != Verdict::Error)
                return;
            QVector<QVariant> values = source.cells;
            values.resize(captions.size() - 1);
            values << QStringLiteral("第 %1 行：%2").arg(plan.line(at)).arg(plan.reason(at));
            writer->addRow(values);
        });
        writer->finish();
    } catch (const platform::WriteError& error) {
        writer->discard();
        MsgBox::show(error.text());
        return;
    } catch (const ReadError& error) {
        writer->discard();
        MsgBox::show(error.text());
        return;
    }
    MsgBox::show(QStringLiteral("已导出 %1 行有错误的行。").arg(m_plan->count(Verdict::Error)), QStringLiteral("成功"),
        MsgBox::Icon::Information);
}

void frmDaoru::cmdClose_Click() { platform::Forms::unload(this); }

void frmDaoru::Form_Unload() { platform::Forms::show(QStringLiteral("frmmain")); }
