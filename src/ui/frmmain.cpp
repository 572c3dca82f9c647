#include "frmmain.h"

#include "catalogue.h"
#include "cutpositionadjuster.h"
#include "cutpositiondiagram.h"
#include "datafilereader.h"
#include "entrybox.h"
#include "frames.h"
#include "presentertimerentry.h"
#include "qbx7config_version.h"
#include "teskcomm.h"
#include "textforms.h"
#include "windowfonts.h"
#include "windowlayout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

// The images live in a static library; nothing would pull their registration into the program.
static void registerWindowImages()
{
    Q_INIT_RESOURCE(ui);
}

namespace qbx::ui {
namespace {

const QString kCaption = QStringLiteral("Tesk QBX740 Configuration Utility");

QString qtText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A stored colour value: blue * 65536 + green * 256 + red.
QColor colourFromValue(unsigned value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void setTextColour(QWidget* widget, unsigned value)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colourFromValue(value));
    widget->setPalette(palette);
}

void showMessageBox(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

// Tabs 5.2 mm high (295 twips), whatever the style would choose.
class TabStrip final : public QTabBar
{
public:
    static constexpr int kTabHeight = 295 / kTwipsPerPixel + 1;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(kTabHeight);
        return size;
    }
};

class TabContainer final : public QTabWidget
{
public:
    explicit TabContainer(QWidget* parent)
        : QTabWidget(parent)
    {
        setTabBar(new TabStrip);
    }
};

QComboBox* createSettingList(std::string_view control, QWidget* page)
{
    auto* list = new QComboBox(page);
    list->setObjectName(qtText(control));
    list->setEditable(false);
    list->setFont(windowFont(FontRole::Default));
    const std::optional<std::size_t> step = findSetting(control);
    Q_ASSERT(step);
    for (const Entry& entry : catalogue()[*step].entries)
        list->addItem(qtText(entry.text));
    return list;
}

} // namespace

frmMain::frmMain(StreamPort* port, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_port(port)
    , m_message(showMessageBox)
{
    registerWindowImages();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kCaption);
    setWindowIcon(QIcon(QStringLiteral(":/qbx7config/icon.bmp")));
    setFont(windowFont(FontRole::Default));
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);

    buildPages();
    buildFocusOrder();

    m_cutPosition = new CutPositionAdjuster(findChild<QCheckBox*>(QStringLiteral("chk_AdjustCutPos")),
                                            findChild<CutPositionDiagram*>(QStringLiteral("Picture1")),
                                            findChild<EntryBox*>(QStringLiteral("txtCutOffset")), this);
    m_presenterTimer =
        new PresenterTimerEntry(findChild<QComboBox*>(QStringLiteral("cmbPresenterDelay")),
                                findChild<EntryBox*>(QStringLiteral("txtPresenterDelay")), this);

    connect(findChild<QPushButton*>(QStringLiteral("butDownload")), &QPushButton::clicked, this,
            &frmMain::storeSettings);
    connect(findChild<QPushButton*>(QStringLiteral("butPrintSelfTest")), &QPushButton::clicked, this,
            &frmMain::printSelfTestPage);
    connect(findChild<QPushButton*>(QStringLiteral("butPrintFile")), &QPushButton::clicked, this,
            &frmMain::printDataFile);
    connect(findChild<QPushButton*>(QStringLiteral("butClose")), &QPushButton::clicked, this,
            &QWidget::close);

    load();
}

frmMain::~frmMain() = default;

void frmMain::buildPages()
{
    m_tabs = new TabContainer(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->setGeometry(kTabWidgetTwips.toPixels());
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setElideMode(Qt::ElideNone);
    for (const PageLayout& page : pages())
        buildPage(page);
}

void frmMain::buildPage(const PageLayout& table)
{
    auto* page = new QWidget;
    m_tabs->addTab(page, qtText(table.caption));
    auto* layout = new TwipsLayout(page, m_tabs);

    int row = 0;
    for (const SettingRow& rowLayout : table.rows) {
        auto* list = createSettingList(rowLayout.list, page);
        const std::optional<std::size_t> step = findSetting(rowLayout.list);
        auto* label = new QLabel(qtText(catalogue()[*step].label), page);
        label->setObjectName(qtText(rowLayout.label));
        label->setFont(windowFont(FontRole::Heading));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(list);
        list->setAccessibleName(label->text());
        if (!rowLayout.toolTip.empty())
            list->setToolTip(qtText(rowLayout.toolTip));
        layout->addWidget(label, settingLabelTwips(row));
        layout->addWidget(list, settingListTwips(row));
        ++row;
    }
    for (const ControlLayout& controlLayout : table.controls)
        layout->addWidget(createControl(controlLayout, page), controlLayout.twips);
}

QWidget* frmMain::createControl(const ControlLayout& layout, QWidget* page)
{
    const QString text = qtText(layout.text);
    QWidget* widget = nullptr;
    switch (layout.kind) {
    case ControlKind::Photograph: {
        auto* photo = new QLabel(page);
        photo->setPixmap(QPixmap(QStringLiteral(":/qbx7config/product.jpg")));
        photo->setScaledContents(true);
        photo->setAccessibleName(tr("Photograph of the QBX740 printer"));
        widget = photo;
        break;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(text, page);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(layout.alignment);
        label->setWordWrap(layout.wraps);
        widget = label;
        break;
    }
    case ControlKind::PortPanel: {
        m_panel = new TeskKit::TeskComm(page);
        m_panel->setShowSpooler(true);
        m_panel->setShowTcpIp(true);
        m_panel->setShowFile(true);
        widget = m_panel;
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, page);
        button->setAutoDefault(false);
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, page);
        break;
    case ControlKind::Diagram:
        widget = new CutPositionDiagram(page);
        widget->setAccessibleName(tr("Cut position diagram"));
        break;
    case ControlKind::TextBox: {
        auto* box = new EntryBox(text, page);
        box->setAlignment(layout.alignment);
        widget = box;
        break;
    }
    }
    widget->setParent(page);
    widget->setObjectName(qtText(layout.name));
    widget->setFont(windowFont(layout.font));
    if (layout.colourValue)
        setTextColour(widget, *layout.colourValue);
    if (!layout.toolTip.empty())
        widget->setToolTip(qtText(layout.toolTip));
    return widget;
}

void frmMain::buildFocusOrder()
{
    // The port panel draws its own contents: its focusable parts take its place in the order.
    QWidgetList chain;
    for (std::string_view name : focusOrder()) {
        QWidget* widget = findChild<QWidget*>(qtText(name));
        Q_ASSERT(widget);
        if (widget != m_panel) {
            chain.append(widget);
            continue;
        }
        for (QWidget* w = m_panel->nextInFocusChain(); w != m_panel; w = w->nextInFocusChain())
            if (m_panel->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
                chain.append(w);
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));

    auto* labVersion = findChild<QLabel*>(QStringLiteral("labVersion"));
    labVersion->setAccessibleName(tr("Version"));
    findChild<QLabel*>(QStringLiteral("Label20"))->hide();
    findChild<EntryBox*>(QStringLiteral("txtPresenterDelay"))->hide();
    findChild<EntryBox*>(QStringLiteral("txtCutOffset"))->setAccessibleName(tr("Cut offset in millimetres"));
    findChild<EntryBox*>(QStringLiteral("txtPresenterDelay"))
        ->setAccessibleName(tr("Custom presenter delay"));
}

void frmMain::load()
{
    for (const Setting& setting : catalogue()) {
        if (auto* list = findChild<QComboBox*>(qtText(setting.control))) {
            list->setCurrentIndex(0);
            // Selecting the entry that is already selected still counts as a choice here.
            if (setting.control == "cmbPresenterDelay")
                m_presenterTimer->selectionMade();
        }
    }
    m_tabs->setCurrentIndex(0);
    findChild<QLabel*>(QStringLiteral("labVersion"))
        ->setText(QString::fromStdString(versionLine(version::Major, version::Minor, version::Revision)));
    setWindowTitle(kCaption);
    findChild<QLabel*>(QStringLiteral("labTitle"))->setText(kCaption);
    m_fileDialog.setInitialDirectory(QCoreApplication::applicationDirPath());
    port().LoadPortSettings(std::string(kPortSettingsKey));
}

void frmMain::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    port().SavePortSettings(std::string(kPortSettingsKey));
}

void frmMain::showEvent(QShowEvent* event)
{
    if (!m_centred && screen()) {
        m_centred = true;
        // Placed by its client area, whatever frame the window system adds.
        setGeometry(
            QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, size(), screen()->availableGeometry()));
    }
    QWidget::showEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    unload();
    event->accept();
}

void frmMain::AdjustCutPosition(float offset)
{
    m_cutPosition->adjust(offset);
}

ControlSnapshot frmMain::snapshot() const
{
    ControlSnapshot snapshot;
    const auto& steps = catalogue();
    for (std::size_t step = 0; step < steps.size(); ++step)
        if (const auto* list = findChild<QComboBox*>(qtText(steps[step].control)))
            snapshot.selection[step] = list->currentIndex();
    snapshot.adjustCutPos = findChild<QCheckBox*>(QStringLiteral("chk_AdjustCutPos"))->isChecked();
    snapshot.cutOffsetQuarters =
        cutOffsetQuarters(findChild<EntryBox*>(QStringLiteral("txtCutOffset"))->text().toStdString());
    snapshot.presenterDelayHalfSeconds = presenterDelayHalfSeconds(
        findChild<EntryBox*>(QStringLiteral("txtPresenterDelay"))->text().toStdString());
    return snapshot;
}

void frmMain::setFileOpenHook(FileOpenHook hook)
{
    m_fileDialog.setHook(std::move(hook));
}

void frmMain::setMessageHook(MessageHook hook)
{
    m_message = std::move(hook);
}

void frmMain::storeSettings()
{
    StoreSettings(port(), snapshot());
}

void frmMain::printSelfTestPage()
{
    PrintSelfTestPage(port());
}

void frmMain::printDataFile()
{
    const std::optional<QString> path = m_fileDialog.choose(this);
    if (!path)
        return;
    // A file that cannot be opened sends nothing at all. The file is streamed, not held whole:
    // a data file may be larger than the memory a window should take.
    TeskKit::DataFileReader file;
    QString error;
    if (!file.open(*path, TeskKit::DataFileReader::Accept::RegularFilesOnly, &error)) {
        if (m_message)
            m_message(this, windowTitle(), error);
        return;
    }
    file.sendTo(port());
}

StreamPort& frmMain::port()
{
    return m_port ? *m_port : *m_panel;
}

} // namespace qbx::ui
