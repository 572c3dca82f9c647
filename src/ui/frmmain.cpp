#include "ui/frmmain.h"

#include "panel/teskcomm.h"
#include "port/datafilereader.h"
#include "qbx7config_version.h"
#include "settings/catalogue.h"
#include "settings/entrynormalise.h"
#include "settings/frames.h"
#include "settings/textforms.h"
#include "ui/cutpositionadjuster.h"
#include "ui/cutpositiondiagram.h"
#include "ui/entrybox.h"
#include "ui/manualdialog.h"
#include "ui/presentertimerentry.h"
#include "ui/profilefiles.h"
#include "ui/windowfonts.h"
#include "ui/windowlayout.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <memory>
#include <utility>

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
    palette.setColor(widget->foregroundRole(), colourFromValue(value));
    widget->setPalette(palette);
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

// The text with an access key marked: the first initial of its words that is not taken yet, else
// its first letter or digit that is not; the key is then taken. Unmarked when every one is taken.
QString withAccessKey(const QString& text, QString& taken)
{
    const auto freeAt = [&](qsizetype i) {
        return text.at(i).isLetterOrNumber() && !taken.contains(text.at(i).toLower());
    };
    qsizetype at = -1;
    for (qsizetype i = 0; i < text.size() && at < 0; ++i)
        if ((i == 0 || text.at(i - 1).isSpace()) && freeAt(i))
            at = i;
    for (qsizetype i = 0; i < text.size() && at < 0; ++i)
        if (freeAt(i))
            at = i;
    QString marked = text;
    marked.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (at < 0)
        return marked;
    taken += text.at(at).toLower();
    return marked.insert(at + text.left(at).count(QLatin1Char('&')), QLatin1Char('&'));
}

// The mark of a tab that holds a change: a dot in the highlight colour.
QIcon changeMark()
{
    static const QIcon mark = [] {
        QPixmap dot(8, 8);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QApplication::palette().color(QPalette::Highlight));
        painter.drawEllipse(dot.rect());
        return QIcon(dot);
    }();
    return mark;
}

QComboBox* createSettingList(const Setting& setting, QWidget* page)
{
    auto* list = new QComboBox(page);
    list->setFont(windowFont(FontRole::Default));
    for (const Entry& entry : setting.entries)
        list->addItem(qtText(entry.text));
    // Open, the list shows every entry whole, however narrow its place on the page (the list's
    // font is its view's too).
    list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 2 * list->view()->frameWidth());
    return list;
}

} // namespace

frmMain::frmMain(StreamPort* port, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_port(port)
{
    registerWindowImages();
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/qbx7config/icon.bmp")));
    // The window's font is the program's: its message boxes, dialogs and tooltips use it too.
    QApplication::setFont(windowFont(FontRole::Default));
    QToolTip::setFont(windowFont(FontRole::Default));
    setFont(windowFont(FontRole::Default));
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);

    buildPages();
    m_panel->controller().setPort(m_port);
    connect(&m_panel->controller(), &PortController::transmitted, this, &frmMain::report);
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDown and Ctrl+PgUp turn the pages from anywhere, and never
    // choose a list's entry.
    const std::pair<QKeySequence, int> turns[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                                  {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                  {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [keys, step] : turns)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this, step = step] {
            m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + m_tabs->count()) % m_tabs->count());
        });
    qApp->installEventFilter(this);
    load();
}

// The menu's actions work from any tab, through their shortcuts.
void frmMain::buildProfilesMenu(QMenu& menu)
{
    const auto add = [&](const QString& text, const QKeySequence& keys, void (frmMain::*run)()) {
        QAction* action = menu.addAction(text, this, run);
        action->setShortcut(keys);
        addAction(action);
    };
    add(tr("&Open Settings Profile..."), QKeySequence(Qt::CTRL | Qt::Key_O), &frmMain::openProfile);
    add(tr("&Save Settings Profile..."), QKeySequence(Qt::CTRL | Qt::Key_S), &frmMain::saveProfile);
    add(tr("Open Settings &File..."), {}, &frmMain::openSettingsFile);
    menu.addSeparator();
    add(tr("&Reset All to \"No Change\""), {}, &frmMain::resetAll);
    menu.addSeparator();
    add(tr("&Manual"), QKeySequence(Qt::Key_F1), &frmMain::showManual);
    add(tr("&About"), {}, &frmMain::showAbout);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            &QWidget::close);
}

std::optional<QString> frmMain::askProfileFile(FileRequest::Purpose purpose, const QString& title,
                                               const QString& filter)
{
    FileRequest request;
    request.purpose = purpose;
    request.title = title;
    request.nameFilters = {filter, tr("All Files (*)")};
    request.selectedFilter = filter;
    request.directory = m_profileFolder.isEmpty() ? QDir::homePath() : m_profileFolder;
    const std::optional<FileAnswer> answer = Dialogs::askFile(this, request);
    if (!answer)
        return std::nullopt;
    m_profileFolder = QFileInfo(answer->path).absolutePath();
    return answer->path;
}

void frmMain::openProfile()
{
    if (const std::optional<QString> path =
            askProfileFile(FileRequest::Purpose::Open, tr("Open Settings Profile"), profileFilter()))
        choose(readProfile(*path), *path);
}

void frmMain::openSettingsFile()
{
    if (const std::optional<QString> path = askProfileFile(
            FileRequest::Purpose::Open, tr("Open Settings File"), tr("Printer Settings File (*.dst *.prn)")))
        choose(readSettingsFile(*path), *path);
}

void frmMain::saveProfile()
{
    const std::optional<QString> path =
        askProfileFile(FileRequest::Purpose::Save, tr("Save Settings Profile"), profileFilter());
    if (!path)
        return;
    if (const QString problem = writeProfile(*path, snapshot()); !problem.isEmpty())
        Dialogs::tell(this, Dialogs::Tone::Warning, windowTitle(), problem);
    else
        m_status->setText(tr("Saved the settings chosen to %1.").arg(QDir::toNativeSeparators(*path)));
}

// Shows what the file chooses, or, when it cannot be taken, says why and changes nothing.
void frmMain::choose(const std::variant<ControlSnapshot, QString>& choice, const QString& path)
{
    if (const auto* problem = std::get_if<QString>(&choice)) {
        Dialogs::tell(this, Dialogs::Tone::Warning, windowTitle(), *problem);
        return;
    }
    showChoice(std::get<ControlSnapshot>(choice));
    m_status->setText(tr("Opened %1: %2.").arg(QFileInfo(path).fileName(), m_changes->text()));
}

void frmMain::resetAll()
{
    showChoice(ControlSnapshot{});
    m_status->setText(tr("Every setting is back at \"No Change\"."));
}

QString frmMain::profileFilter()
{
    return tr("Settings Profile (*.profile *.txt)");
}

// Sets every control as the snapshot has it, on the pages not opened yet too.
void frmMain::showChoice(const ControlSnapshot& choice)
{
    for (int page = 0; page < m_tabs->count(); ++page)
        fillPage(Page(page));
    for (std::size_t step = 0; step < kSettingCount; ++step)
        if (m_lists[step])
            m_lists[step]->setCurrentIndex(choice.selection[step]);
    if (m_adjustCutPos->isChecked() != choice.adjustCutPos)
        m_adjustCutPos->click();
    if (choice.adjustCutPos)
        m_cutPosition->adjust(float(choice.cutOffsetQuarters) / 4);
    m_presenterDelay->setText(
        QString::fromStdString(presenterDelayText(choice.presenterDelayHalfSeconds / 2.0)));
}

void frmMain::showManual()
{
    Dialogs::show(new ManualDialog(this));
}

void frmMain::showAbout()
{
    Dialogs::tell(this, Dialogs::Tone::Information, tr("About"),
                  tr("QBX7Config %1\nSets up QBX740 ticket printers.\nProprietary licence.\nQt %2")
                      .arg(m_version->text(), QString::fromLatin1(qVersion())));
}

// An Alt+letter that is no access key does nothing: a list's type-ahead must not take it for a
// choice that the next Store Settings would send.
bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QComboBox*>(watched) &&
        (static_cast<QKeyEvent*>(event)->modifiers() & Qt::AltModifier))
        return true;
    return QWidget::eventFilter(watched, event);
}

frmMain::~frmMain() = default;

void frmMain::buildPages()
{
    m_tabs = new TabContainer(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->setGeometry(kTabWidgetTwips.toPixels());
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setElideMode(Qt::ElideNone);
    for (const PageLayout& table : pages()) {
        auto* page = new QWidget;
        // The pages' face is the system's button face, as the window's and the buttons' are.
        page->setBackgroundRole(QPalette::Button);
        page->setAutoFillBackground(true);
        m_tabs->addTab(page, qtText(table.caption));
    }
    // Only the first page shows at start: the others are filled when they are first opened, so
    // that the window opens quickly.
    fillPage(Page::Main);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { fillPage(Page(index)); });
}

void frmMain::fillPage(Page which)
{
    bool& filled = m_filled[std::size_t(which)];
    if (filled)
        return;
    filled = true;
    QWidget* page = m_tabs->widget(int(which));
    auto* layout = new TwipsLayout(page, m_tabs);
    for (std::size_t step = 0; step < kSettingCount; ++step)
        if (settingPlaces()[step].page == which && settingPlaces()[step].hasList())
            addSettingRow(step, *layout, page);
    for (const ControlLayout& controlLayout : pages()[std::size_t(which)].controls) {
        QWidget* widget = createControl(controlLayout, page);
        keepControl(controlLayout.id, widget);
        if (controlLayout.focus != kNoFocus)
            m_focusPlaces.emplace_back(controlLayout.focus, widget);
        layout->addWidget(widget, controlLayout.twips);
    }
    switch (which) {
    case Page::Main:
        m_betaNotice->hide();
        connect(m_storeButton, &QPushButton::clicked, this, &frmMain::storeSettings);
        connect(m_selfTestButton, &QPushButton::clicked, this, &frmMain::printSelfTestPage);
        connect(m_printFileButton, &QPushButton::clicked, this, &frmMain::printDataFile);
        connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
        break;
    case Page::Tickets:
        m_cutOffset->setAccessibleName(tr("Cut offset in millimetres"));
        m_cutPosition = new CutPositionAdjuster(m_adjustCutPos, m_diagram, m_cutOffset, this);
        connect(m_adjustCutPos, &QCheckBox::toggled, this, &frmMain::countChanges);
        break;
    case Page::Presenter:
        m_presenterDelay->setAccessibleName(tr("Custom presenter delay"));
        m_presenterTimer = new PresenterTimerEntry(m_lists[presenterDelayStep()], m_presenterDelay, this);
        // As the start-up's selection of "No Change" would: the custom delay box starts hidden.
        m_presenterTimer->selectionMade();
        break;
    case Page::Characters:
    case Page::Paper:
    case Page::Status:
        break;
    }
    buildFocusOrder();
    addAccessKeys(which);
}

// Every tab, setting and action of the page can be reached with Alt and a letter: each takes a
// key that no other on its page or among the tabs has. The tabs keep clear of the port panel's.
void frmMain::addAccessKeys(Page which)
{
    if (m_tabKeys.isNull()) { // the first page filled holds the panel
        m_tabKeys = m_panel->accessKeys();
        for (int i = 0; i < m_tabs->count(); ++i)
            m_tabs->setTabText(i, withAccessKey(m_tabs->tabText(i), m_tabKeys));
    }
    QString taken = m_tabKeys;
    const QWidget* page = m_tabs->widget(int(which));
    for (const auto& [place, widget] : m_focusPlaces) {
        if (!page->isAncestorOf(widget) || widget == m_panel)
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(withAccessKey(button->text(), taken));
        else if (QLabel* label = m_labelOf.value(widget))
            label->setText(withAccessKey(label->text(), taken));
    }
}

void frmMain::addSettingRow(std::size_t step, TwipsLayout& layout, QWidget* page)
{
    const SettingPlace& place = settingPlaces()[step];
    auto* list = createSettingList(catalogue()[step], page);
    list->setObjectName(qtText(place.list));
    auto* label = new QLabel(qtText(catalogue()[step].label), page);
    label->setObjectName(qtText(place.label));
    label->setFont(windowFont(FontRole::Heading));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(list);
    list->setAccessibleName(label->text());
    if (!place.toolTip.empty())
        list->setToolTip(qtText(place.toolTip));
    m_focusPlaces.emplace_back(place.focus, list);
    m_labelOf.insert(list, label);
    connect(list, &QComboBox::currentIndexChanged, this, &frmMain::countChanges);
    layout.addWidget(label, settingLabelTwips(place.row));
    layout.addWidget(list, settingListTwips(place.row));
    m_lists[step] = list;
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
    case ControlKind::Button:
        widget = new QPushButton(text, page);
        break;
    case ControlKind::MenuButton: {
        auto* button = new QToolButton(page);
        button->setText(text);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setMenu(new QMenu(button));
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, page);
        break;
    case ControlKind::Diagram:
        widget = new CutPositionDiagram(page);
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

void frmMain::keepControl(ControlId id, QWidget* widget)
{
    switch (id) {
    case ControlId::Title:
        m_title = static_cast<QLabel*>(widget);
        break;
    case ControlId::Version:
        m_version = static_cast<QLabel*>(widget);
        break;
    case ControlId::BetaNotice:
        m_betaNotice = static_cast<QLabel*>(widget);
        break;
    case ControlId::StoreSettings:
        m_storeButton = static_cast<QPushButton*>(widget);
        break;
    case ControlId::PrintSelfTest:
        m_selfTestButton = static_cast<QPushButton*>(widget);
        break;
    case ControlId::PrintFile:
        m_printFileButton = static_cast<QPushButton*>(widget);
        break;
    case ControlId::Close:
        m_closeButton = static_cast<QPushButton*>(widget);
        break;
    case ControlId::Status:
        m_status = static_cast<QLabel*>(widget);
        break;
    case ControlId::ChangeCount:
        m_changes = static_cast<QLabel*>(widget);
        break;
    case ControlId::Profiles:
        buildProfilesMenu(*static_cast<QToolButton*>(widget)->menu());
        break;
    case ControlId::AdjustCutPos:
        m_adjustCutPos = static_cast<QCheckBox*>(widget);
        break;
    case ControlId::CutDiagram:
        m_diagram = static_cast<CutPositionDiagram*>(widget);
        break;
    case ControlId::CutOffset:
        m_cutOffset = static_cast<EntryBox*>(widget);
        break;
    case ControlId::PresenterDelay:
        m_presenterDelay = static_cast<EntryBox*>(widget);
        break;
    case ControlId::PortPanel: // kept by createControl, which makes it
    case ControlId::Photograph:
    case ControlId::CutHeading:
    case ControlId::CutInstructions:
        break;
    }
}

void frmMain::buildFocusOrder()
{
    std::sort(m_focusPlaces.begin(), m_focusPlaces.end());

    // The tab strip comes first. The port panel draws its own contents: its focusable parts take
    // its place in the order.
    QWidgetList chain{m_tabs};
    for (const auto& [place, widget] : m_focusPlaces) {
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
}

void frmMain::load()
{
    // The setting lists are made, at "No Change", when their page is first opened.
    m_tabs->setCurrentIndex(0);
    m_version->setText(
        QString::fromStdString(versionLine(version::Major, version::Minor, version::Revision)));
    setWindowTitle(kCaption);
    m_title->setText(kCaption);
    m_fileDialog.setInitialDirectory(QDir::homePath()); // the user's files, not the program's folder
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
    fillPage(Page::Tickets);
    m_cutPosition->adjust(offset);
}

ControlSnapshot frmMain::snapshot() const
{
    ControlSnapshot snapshot;
    for (std::size_t step = 0; step < kSettingCount; ++step)
        if (m_lists[step])
            snapshot.selection[step] = m_lists[step]->currentIndex();
    // A page never opened holds its starting state: every list at "No Change", the adjuster off.
    if (m_adjustCutPos) {
        snapshot.adjustCutPos = m_adjustCutPos->isChecked();
        snapshot.cutOffsetQuarters = cutOffsetQuarters(m_cutOffset->text().toStdString());
    }
    if (m_presenterDelay)
        snapshot.presenterDelayHalfSeconds =
            presenterDelayHalfSeconds(m_presenterDelay->text().toStdString());
    return snapshot;
}

void frmMain::storeSettings()
{
    const int chosen = m_changeCount;
    transmit(chosen == 0
                 ? tr("Nothing to change: %1 got only the command that makes the printer keep its values")
             : chosen == 1 ? tr("Stored 1 setting on %1")
                           : tr("Stored %1 settings on %2").arg(chosen).arg(QStringLiteral("%1")),
             [snapshot = snapshot()](StreamPort& port) { StoreSettings(port, snapshot); });
}

void frmMain::printSelfTestPage()
{
    transmit(
        tr("Sent the self-test page to %1"), [](StreamPort& port) { PrintSelfTestPage(port); }, {}, true);
}

void frmMain::transmit(const QString& success, PortController::Transmission transmission,
                       const QString& subject, bool keepsSettings)
{
    if (!m_panel->transmit(std::move(transmission), subject, keepsSettings))
        return;
    m_success = success;
    m_clock.start();
}

// Said under the version, and to screen readers as it changes: what the last action did.
void frmMain::report(const TransmissionOutcome& outcome)
{
    if (m_success.isNull())
        return;
    switch (outcome.result) {
    case TransmissionOutcome::Result::Delivered:
        m_status->setText(
            tr("%1 (%2, %3 s).")
                .arg(m_success.arg(outcome.port),
                     QLocale().formattedDataSize(outcome.bytes, 1, QLocale::DataSizeTraditionalFormat),
                     QLocale().toString(m_clock.elapsed() / 1000.0, 'f', 1)));
        break;
    case TransmissionOutcome::Result::Cancelled:
        m_status->setText(tr("Cancelled while %1: %2.").arg(stageName(outcome.stage), outcome.port));
        break;
    default:
        m_status->setText(tr("Failed: %1").arg(outcome.problem.what));
        break;
    }
    m_success.clear();
}

// Left of Close: how many settings the next Store Settings changes, and on which tabs.
void frmMain::countChanges()
{
    std::array<bool, kPageCount> marked{};
    QStringList tabs;
    m_changeCount = 0;
    for (std::size_t step = 0; step < kSettingCount; ++step) {
        const bool chosen = m_lists[step]
                                ? m_lists[step]->currentIndex() > 0
                                : step == cutOffsetStep() && m_adjustCutPos && m_adjustCutPos->isChecked();
        if (!chosen)
            continue;
        ++m_changeCount;
        const int page = int(settingPlaces()[step].page);
        if (!std::exchange(marked[std::size_t(page)], true))
            tabs << m_tabs->tabText(page).remove(QLatin1Char('&'));
    }
    m_changes->setText(
        m_changeCount == 0 ? tr("No setting chosen")
        : m_changeCount == 1
            ? tr("1 setting chosen, on %1").arg(tabs.first())
            : tr("%1 settings chosen, on %2").arg(m_changeCount).arg(tabs.join(QStringLiteral(", "))));
    // A tab that holds a change carries a mark; screen readers say it as the tab's description.
    for (int page = 0; page < m_tabs->count(); ++page) {
        m_tabs->setTabIcon(page, marked[std::size_t(page)] ? changeMark() : QIcon());
        m_tabs->setTabToolTip(page,
                              marked[std::size_t(page)] ? tr("Holds settings chosen to store") : QString());
    }
}

void frmMain::printDataFile()
{
    const std::optional<QString> path = m_fileDialog.choose(this);
    if (!path)
        return;
    // A file that cannot be opened sends nothing at all. The file is streamed, not held whole:
    // a data file may be larger than the memory a window should take.
    auto file = std::make_shared<qbx::DataFileReader>();
    qbx::Problem error;
    if (!file->open(*path, qbx::DataFileReader::Accept::RegularFilesOnly, &error)) {
        Dialogs::tell(this, Dialogs::Tone::Warning, windowTitle(), error.text());
        return;
    }
    const QString name = QFileInfo(*path).fileName();
    transmit(
        tr("Sent %1 to %2").arg(name, QStringLiteral("%1")), [file](StreamPort& port) { file->sendTo(port); },
        name);
}

PrinterPort& frmMain::port()
{
    return m_port ? static_cast<PrinterPort&>(*m_port) : *m_panel;
}

} // namespace qbx::ui
