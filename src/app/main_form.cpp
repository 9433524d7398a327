#include "app/main_form.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

#include "app/color_scheme.h"
#include "app/scenario_files.h"
#include "app/widget_paint.h"
#include "support/version_text.h"

namespace fd::app {

namespace {

// Colours of the window design that no scheme touches.
const QColor kTimeText(0x00, 0x00, 0x80);
const QColor kDesignField(0xDB, 0xE7, 0xF9);  // behind the list and the channel graph
const QColor kSwatchColors[4] = {QColor(0xDB, 0xE7, 0xF9), QColor(0x00, 0x00, 0xFF), QColor(0x00, 0xFF, 0x00),
                                 QColor(0xFF, 0x00, 0x00)};

// The design's fonts, with the faces that the Linux packages provide for them: the design's family
// is asked for first, so that a machine that has it shows it, and the Debian face stands in.
QFont DesignFont(const char* family, int pixels, bool bold) {
  const QString debian = QString::fromLatin1(family);
  const QString design = debian == QLatin1String("DejaVu Sans")       ? QStringLiteral("Verdana")
                         : debian == QLatin1String("Liberation Mono") ? QStringLiteral("Courier New")
                         : debian == QLatin1String("Liberation Sans") ? QStringLiteral("Arial")
                                                                      : debian;
  QFont font{debian};
  font.setFamilies({design, debian});
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}
QFont CaptionFont() { return DesignFont("DejaVu Sans", 11, true); }  // captions, group headings
QFont LedFont() { return DesignFont("DejaVu Sans", 13, true); }
QFont DefaultFont() { return DesignFont("Liberation Sans", 11, false); }

QLabel* MakeLabel(const QString& name, const QString& text, const QFont& font, QWidget* parent = nullptr) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(font);
  return label;
}

QPushButton* MakeButton(const QString& name, const QString& text, QSize size, bool toggle = false) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  button->setFixedSize(size);
  button->setCheckable(toggle);
  // The console is run from the keyboard through the window's key handling; a focused button would
  // take Space and Enter for itself.
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QHBoxLayout* Row(int spacing = 4) {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(spacing);
  return row;
}

QVBoxLayout* Column(QWidget* owner, int margin = 0, int spacing = 0) {
  auto* column = new QVBoxLayout(owner);
  column->setContentsMargins(margin, margin, margin, margin);
  column->setSpacing(spacing);
  return column;
}

}  // namespace

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(platform::Platform& platform, const CommandLineOptions& options,
                     const StartupEnvironment& environment, QWidget* parent)
    : QWidget(parent), platform_(platform), options_(options), environment_(environment) {
  if (!environment_.Now) environment_.Now = [] { return std::time(nullptr); };
  ChooseFile = FileDialogChooser(this);
  BuildWindow();
  FormCreate();
  InstallKeyRouter();
}

TMainForm::~TMainForm() {
  // The engine thread may be waiting to hand a frame over: serve it and stop the thread before
  // the registry it hands frames to goes away.
  if (Port) {
    Port->OnMessage = nullptr;
    Port->OnConnectionLost = nullptr;
    Port->OnConnectionRestored = nullptr;
    Port->Terminate();
  }
  // The player and the registry outlive the timers and may still report while they go down.
  if (Player) {
    Player->OnProgress = nullptr;
    Player->OnStateChange = nullptr;
    Player->OnEmergencyStop = nullptr;
    Player->OnIdle = nullptr;
  }
  if (Controls) Controls->OnChange = nullptr;
}

QString TMainForm::CaptionText() {
  return QStringLiteral("Управление запуском (версия: ") + QString::fromStdString(support::ProgramVersionText()) +
         QStringLiteral(")");
}

// ---------------------------------------------------------------------------------------------
// Components

void TMainForm::BuildWindow() {
  setObjectName(QStringLiteral("MainForm"));
  setFont(DefaultFont());
  // The design size is what the window returns to from maximised, which is how it opens.
  resize(kDesignWidth, kDesignHeight);
  setWindowState(Qt::WindowMaximized);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(BuildLeftColumn());

  auto* right = new QWidget;
  right->setObjectName(QStringLiteral("RightArea"));
  auto* rightColumn = Column(right);
  rightColumn->addWidget(BuildLaunchPanel());
  rightColumn->addWidget(BuildTestPanel());
  layout->addWidget(right, 1);

  LaunchPanel->setVisible(true);
  TestPanel->setVisible(false);

  BuildActionsAndTimers();
}

QWidget* TMainForm::BuildLeftColumn() {
  auto* left = new QWidget;
  left->setObjectName(QStringLiteral("LeftPanel"));
  left->setFixedWidth(205);
  auto* column = Column(left, 4, 4);

  column->addWidget(BuildRadioGroup());

  DevicesCaption = MakeLabel(QStringLiteral("DevicesCaption"), QStringLiteral("Пульты"), CaptionFont());
  DevicesCaption->setFixedHeight(18);
  column->addWidget(DevicesCaption);

  auto* devFrame = new QFrame;
  // A sunken edge keeps the panel apart from the window where both wear the system face colour.
  devFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  DevPanel = devFrame;
  DevPanel->setObjectName(QStringLiteral("DevPanel"));
  DevPanel->setFont(DesignFont("Liberation Mono", 13, false));
  DevPanel->setAutoFillBackground(true);
  // Console rows stack from the top, in registry order.
  auto* rows = Column(DevPanel, 1);
  rows->setAlignment(Qt::AlignTop);
  column->addWidget(DevPanel, 1);

  auto* buttons = Row();
  TestBtn = MakeButton(QStringLiteral("TestBtn"), QStringLiteral("<TAB> Тест"), QSize(97, 23), true);
  SearchBtn = MakeButton(QStringLiteral("SearchBtn"), QStringLiteral("<F10> Поиск"), QSize(97, 23), true);
  buttons->addWidget(TestBtn);
  buttons->addWidget(SearchBtn);
  buttons->addStretch(1);
  column->addLayout(buttons);
  return left;
}

QWidget* TMainForm::BuildRadioGroup() {
  RadioGroup = new QWidget;
  RadioGroup->setObjectName(QStringLiteral("RadioGroup"));
  auto* column = Column(RadioGroup, 0, 4);
  RadioCaption = MakeLabel(QStringLiteral("RadioCaption"), QStringLiteral("Радиоканал"), CaptionFont());
  column->addWidget(RadioCaption);

  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(4);
  for (int line = 0; line < 3; ++line) {
    const int first = 240 + 5 * line;
    const int last = first + 4;
    QLabel* from = MakeLabel(QStringLiteral("RadioFrom%1").arg(first), QString::number(first), CaptionFont());
    QLabel* to = MakeLabel(QStringLiteral("RadioTo%1").arg(last), QString::number(last), CaptionFont());
    RadioNumberLabels[static_cast<size_t>(2 * line)] = from;
    RadioNumberLabels[static_cast<size_t>(2 * line + 1)] = to;
    grid->addWidget(from, line, 0);
    for (int k = 0; k < 5; ++k) {
      const int id = first + k;
      auto* led = new LedShape(QStringLiteral("R%1").arg(id), QSize(13, 13), QString(), QString());
      RadioLeds[static_cast<size_t>(id - 240)] = led;
      grid->addWidget(led, line, 1 + k);
    }
    grid->addWidget(to, line, 6);
  }
  column->addLayout(grid);
  RadioGroup->setVisible(false);
  return RadioGroup;
}

QWidget* TMainForm::BuildLaunchPanel() {
  LaunchPanel = new QWidget;
  LaunchPanel->setObjectName(QStringLiteral("LaunchPanel"));
  auto* column = Column(LaunchPanel, 0, 0);

  // Four LED groups, the diagnostics group at the right edge.
  const QSize ledSize(167, 23);
  auto group = [&](QLabel*& caption, const QString& captionName, const QString& captionText, LedShape*& upper,
                   LedShape*& lower) {
    auto* box = new QWidget;
    box->setObjectName(captionName + QStringLiteral("Group"));
    auto* boxColumn = Column(box, 0, 4);
    caption = MakeLabel(captionName, captionText, CaptionFont());
    boxColumn->addWidget(caption);
    boxColumn->addWidget(upper);
    boxColumn->addWidget(lower);
    return box;
  };
  auto led = [&](const char* name, const char* labelName, const QString& text) {
    auto* shape = new LedShape(QString::fromLatin1(name), ledSize, QString::fromLatin1(labelName), text);
    shape->Label()->setFont(LedFont());
    return shape;
  };
  WaitLed = led("WaitLed", "WaitLabel", QStringLiteral("Ожидание"));
  WorkLed = led("WorkLed", "WorkLabel", QStringLiteral("Работа"));
  DirectLed = led("DirectLed", "DirectLabel", QStringLiteral("Прямое управление"));
  AutoLed = led("AutoLed", "AutoLabel", QStringLiteral("Автономный режим"));
  SoundLoadedLed = led("SoundLoadedLed", "SoundLoadedLabel", QStringLiteral("Загружена"));
  SoundPlayLed = led("SoundPlayLed", "SoundPlayLabel", QStringLiteral("Воспроизведение"));
  SoundReadyLed = led("SoundReadyLed", "SoundReadyLabel", QStringLiteral("Аудио"));
  RS485 = led("RS485", "RS485Label", QStringLiteral("Конвертер"));
  TimecodeLed = led("TimecodeLed", "TimecodeLabel", QStringLiteral("Таймкод"));
  SoundLoadedLabel = SoundLoadedLed->Label();
  SoundPlayLabel = SoundPlayLed->Label();
  SoundReadyLabel = SoundReadyLed->Label();

  // Until the state and the audio device are shown, the LEDs stand unlit; the converter indicator
  // is lime with a black label, as designed.
  for (LedShape* shape : {WaitLed, WorkLed, DirectLed, AutoLed, SoundReadyLed, TimecodeLed}) {
    shape->SetFill(ColorBack);
    shape->SetLabelColor(ColorOffText);
  }
  RS485->SetFill(QColor(0x00, 0xFF, 0x00));
  RS485->SetLabelColor(QColor(0x00, 0x00, 0x00));

  auto* leds = Row(12);
  leds->setContentsMargins(8, 6, 8, 6);
  // The diagnostics group is a row taller; the others keep their captions on its caption's line.
  leds->addWidget(
      group(StateCaption, QStringLiteral("StateCaption"), QStringLiteral("Состояние <F1>"), WaitLed, WorkLed), 0,
      Qt::AlignTop);
  leds->addWidget(
      group(ModeCaption, QStringLiteral("ModeCaption"), QStringLiteral("Режим <Shift>+<F1>"), DirectLed, AutoLed), 0,
      Qt::AlignTop);
  leds->addWidget(
      group(SoundCaption, QStringLiteral("SoundCaption"), QStringLiteral("Фонограмма"), SoundLoadedLed, SoundPlayLed),
      0, Qt::AlignTop);
  leds->addStretch(1);
  QWidget* diagnostics = group(DiagnosticsCaption, QStringLiteral("DiagnosticsCaption"), QStringLiteral("Диагностика"),
                               SoundReadyLed, RS485);
  diagnostics->layout()->addWidget(TimecodeLed);
  leds->addWidget(diagnostics);
  column->addLayout(leds);

  TimeLabel = MakeLabel(QStringLiteral("TimeLabel"), QStringLiteral("0:00:00.0"), DesignFont("DejaVu Sans", 107, true));
  TimeLabel->setAlignment(Qt::AlignCenter);
  TimeLabel->setFixedHeight(140);
  TimeLabel->setMinimumWidth(0);
  TimeLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  PaintText(TimeLabel, kTimeText);
  column->addWidget(TimeLabel);

  // The timecode last heard, under the show clock; chase mode only.
  ReceivedTimecodeLabel = MakeLabel(QStringLiteral("ReceivedTimecodeLabel"), QStringLiteral("--:--:--:--"),
                                    DesignFont("Liberation Mono", 22, true));
  ReceivedTimecodeLabel->setAlignment(Qt::AlignCenter);
  ReceivedTimecodeLabel->setFixedHeight(30);
  ReceivedTimecodeLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  PaintText(ReceivedTimecodeLabel, kTimeText);
  ReceivedTimecodeLabel->setVisible(false);
  column->addWidget(ReceivedTimecodeLabel);

  // The column headings are labels of their own above a list without a header.
  ListHeader = new QWidget;
  ListHeader->setObjectName(QStringLiteral("ListHeader"));
  ListHeader->setFixedHeight(20);
  auto* headerRow = Row(0);
  headerRow->setContentsMargins(0, 0, 0, 0);
  ListHeader->setLayout(headerRow);
  const char* headerNames[4] = {"TimeHeader", "ConsoleHeader", "ChannelHeader", "CommentHeader"};
  const QString headerTexts[4] = {QStringLiteral("Время"), QStringLiteral("Пульт"), QStringLiteral("Канал"),
                                  QStringLiteral("Комментарии")};
  for (int i = 0; i < 4; ++i) {
    QLabel* heading = MakeLabel(QString::fromLatin1(headerNames[i]), headerTexts[i], CaptionFont());
    heading->setIndent(4);
    if (i < 3) heading->setFixedWidth(kListColumnWidths[static_cast<size_t>(i)]);
    ListHeaderLabels[static_cast<size_t>(i)] = heading;
    headerRow->addWidget(heading, i < 3 ? 0 : 1);
  }
  column->addWidget(ListHeader);

  // A table over the scenario rather than an item per cue: a million cues would otherwise cost
  // the window most of a gigabyte. It looks like a plain list: no headers (the labels above are
  // the headings), no grid, rows of one height that the header never measures again.
  List = new QTableView;
  List->setObjectName(QStringLiteral("List"));
  List->horizontalHeader()->hide();
  List->verticalHeader()->hide();
  List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  List->setShowGrid(false);
  List->setWordWrap(false);
  List->setCornerButtonEnabled(false);
  List->setTabKeyNavigation(false);
  List->setSelectionMode(QAbstractItemView::SingleSelection);
  List->setSelectionBehavior(QAbstractItemView::SelectRows);
  List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List->setFont(DesignFont("Liberation Mono", 13, true));
  List->horizontalHeader()->setStretchLastSection(true);
  {
    // The selection stays visible while the list has no focus.
    QPalette p = List->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    p.setColor(QPalette::Window, kDesignField);
    List->setPalette(p);
  }
  column->addWidget(List, 1);

  LaunchButtons = new QWidget;
  LaunchButtons->setObjectName(QStringLiteral("LaunchButtons"));
  auto* buttons = Row(6);
  buttons->setContentsMargins(8, 6, 8, 6);
  LaunchButtons->setLayout(buttons);
  const QSize size(101, 23);
  ProjectBtn = MakeButton(QStringLiteral("ProjectBtn"), QStringLiteral("<F2> Сценарий"), size);
  SoundBtn = MakeButton(QStringLiteral("SoundBtn"), QStringLiteral("<F3> Фонограмма"), size);
  BeginBtn = MakeButton(QStringLiteral("BeginBtn"), QStringLiteral("<F4> В начало"), size);
  StartBtn = MakeButton(QStringLiteral("StartBtn"), QStringLiteral("<F5> Старт"), size);
  StopBtn = MakeButton(QStringLiteral("StopBtn"), QStringLiteral("<F6> Стоп"), size);
  SaveBtn = MakeButton(QStringLiteral("SaveBtn"), QStringLiteral("<F8> Запись"), size);
  CheckBtn = MakeButton(QStringLiteral("CheckBtn"), QStringLiteral("<F9> Проверка"), size);
  for (QPushButton* b : {ProjectBtn, SoundBtn, BeginBtn, StartBtn, StopBtn, SaveBtn, CheckBtn}) buttons->addWidget(b);
  buttons->addStretch(1);
  column->addWidget(LaunchButtons);
  return LaunchPanel;
}

QWidget* TMainForm::BuildTestPanel() {
  TestPanel = new QWidget;
  TestPanel->setObjectName(QStringLiteral("TestPanel"));
  auto* column = Column(TestPanel, 0, 0);

  auto bar = [](const QString& name, const QString& text) {
    QLabel* label = MakeLabel(name, text, CaptionFont());
    label->setFixedHeight(22);
    label->setIndent(8);
    return label;
  };

  CurrentConsoleBar = bar(QStringLiteral("CurrentConsoleBar"), QStringLiteral("Текущий пульт"));
  column->addWidget(CurrentConsoleBar);

  ConsoleInfo = new QWidget;
  ConsoleInfo->setObjectName(QStringLiteral("ConsoleInfo"));
  auto* grid = new QGridLayout(ConsoleInfo);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  NumberLabel = MakeLabel(QStringLiteral("NumberLabel"), QStringLiteral("Номер:"), CaptionFont());
  ChannelCountLabel = MakeLabel(QStringLiteral("ChannelCountLabel"), QStringLiteral("Каналов:"), CaptionFont());
  VersionLabel = MakeLabel(QStringLiteral("VersionLabel"), QStringLiteral("Версия:"), CaptionFont());
  NumberValue = MakeLabel(QStringLiteral("NumberValue"), QStringLiteral("?"), CaptionFont());
  ChannelCountValue = MakeLabel(QStringLiteral("ChannelCountValue"), QStringLiteral("?"), CaptionFont());
  VersionValue = MakeLabel(QStringLiteral("VersionValue"), QStringLiteral("?"), CaptionFont());
  grid->addWidget(NumberLabel, 0, 0);
  grid->addWidget(NumberValue, 0, 1);
  grid->addWidget(ChannelCountLabel, 1, 0);
  grid->addWidget(ChannelCountValue, 1, 1);
  grid->addWidget(VersionLabel, 2, 0);
  grid->addWidget(VersionValue, 2, 1);
  grid->setColumnStretch(2, 1);
  column->addWidget(ConsoleInfo);

  ChannelTestBar = bar(QStringLiteral("ChannelTestBar"), QStringLiteral("Тестирование каналов"));
  column->addWidget(ChannelTestBar);

  auto* middle = Row(0);
  ChannelsGraph = new ChannelGraph;
  ChannelsGraph->setObjectName(QStringLiteral("ChannelsGraph"));
  // Room for a whole line of 16 cells.
  ChannelsGraph->setMinimumWidth(CellOf(15).X2 + 2);
  ChannelsGraph->OnPaint = [this] { ChannelsGraphPaint(); };
  middle->addWidget(ChannelsGraph, 1);

  LegendPanel = new QWidget;
  LegendPanel->setObjectName(QStringLiteral("LegendPanel"));
  LegendPanel->setFixedWidth(152);
  auto* legend = Column(LegendPanel, 8, 6);
  LegendCaption = MakeLabel(QStringLiteral("LegendCaption"), QStringLiteral("Состояние каналов"), CaptionFont());
  legend->addWidget(LegendCaption);
  const QString legendTexts[4] = {QStringLiteral("Неизвестно"), QStringLiteral("Не подключен"),
                                  QStringLiteral("Подключен"), QStringLiteral("Ошибка")};
  const char* legendNames[4] = {"LegendUnknown", "LegendNotConnected", "LegendConnected", "LegendError"};
  for (int i = 0; i < 4; ++i) {
    auto* line = Row(6);
    auto* swatch = new QWidget;
    swatch->setObjectName(QString::fromLatin1(legendNames[i]) + QStringLiteral("Swatch"));
    swatch->setFixedSize(20, 14);
    PaintBackground(swatch, kSwatchColors[i]);
    QLabel* text = MakeLabel(QString::fromLatin1(legendNames[i]), legendTexts[i], CaptionFont());
    LegendTexts[static_cast<size_t>(i)] = text;
    line->addWidget(swatch);
    line->addWidget(text, 1);
    legend->addLayout(line);
  }
  legend->addStretch(1);
  middle->addWidget(LegendPanel);
  column->addLayout(middle, 1);

  auto* buttons = Row(6);
  buttons->setContentsMargins(8, 6, 8, 6);
  const QSize size(105, 23);
  DownBtn = MakeButton(QStringLiteral("DownBtn"), QString(), size);
  UpBtn = MakeButton(QStringLiteral("UpBtn"), QString(), size);
  DownBtn->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  UpBtn->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  ControlTestBtn = MakeButton(QStringLiteral("ControlTestBtn"), QStringLiteral("<F1> Проверка"), size);
  TestAllBtn = MakeButton(QStringLiteral("TestAllBtn"), QStringLiteral("<F2> Все"), size);
  TestStopBtn = MakeButton(QStringLiteral("TestStopBtn"), QStringLiteral("<F3> Стоп"), size);
  for (QPushButton* b : {DownBtn, UpBtn, ControlTestBtn, TestAllBtn, TestStopBtn}) buttons->addWidget(b);
  buttons->addStretch(1);
  column->addLayout(buttons);
  return TestPanel;
}

void TMainForm::BuildActionsAndTimers() {
  ExitAction = new QAction(QStringLiteral("Выход"), this);
  ExitAction->setObjectName(QStringLiteral("ExitAction"));
  ExitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  ExitAction->setShortcutContext(Qt::ApplicationShortcut);
  connect(ExitAction, &QAction::triggered, this, [this] { ExitActionExecute(); });
  addAction(ExitAction);

  ColorAction = new QAction(QStringLiteral("Цветовая схема"), this);
  ColorAction->setObjectName(QStringLiteral("ColorAction"));
  ColorAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F10));
  ColorAction->setShortcutContext(Qt::ApplicationShortcut);
  connect(ColorAction, &QAction::triggered, this, [this] { ColorActionExecute(); });
  addAction(ColorAction);

  ControlAction = new QAction(QStringLiteral("Режим запуска"), this);
  ControlAction->setObjectName(QStringLiteral("ControlAction"));
  ControlAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
  ControlAction->setShortcutContext(Qt::ApplicationShortcut);
  connect(ControlAction, &QAction::triggered, this, [this] { ControlActionExecute(); });
  addAction(ControlAction);

  // The buttons answer the mouse the way their keys answer the keyboard, minus the keys' log lines.
  // A click while the progress window writes or verifies starts nothing (a stop is always allowed).
  auto onClick = [this](QPushButton* button, void (TMainForm::*handler)(), bool alwaysAllowed = false) {
    connect(button, &QPushButton::clicked, this, [this, button, handler, alwaysAllowed] {
      if (!alwaysAllowed && MemoryWorkRunning()) {
        if (button->isCheckable()) button->setChecked(!button->isChecked());
        return;
      }
      (this->*handler)();
    });
  };
  onClick(StartBtn, &TMainForm::StartBtnClick);
  onClick(StopBtn, &TMainForm::StopBtnClick, true);
  onClick(BeginBtn, &TMainForm::BeginBtnClick);
  onClick(TestBtn, &TMainForm::TestBtnClick);
  onClick(SearchBtn, &TMainForm::SearchBtnClick);
  onClick(ProjectBtn, &TMainForm::ProjectBtnClick);
  onClick(SoundBtn, &TMainForm::SoundBtnClick);
  onClick(SaveBtn, &TMainForm::SaveBtnClick);
  onClick(CheckBtn, &TMainForm::CheckBtnClick);
  onClick(UpBtn, &TMainForm::UpBtnClick);
  onClick(DownBtn, &TMainForm::DownBtnClick);
  onClick(ControlTestBtn, &TMainForm::ControlTestBtnClick);
  onClick(TestAllBtn, &TMainForm::TestAllBtnClick);
  onClick(TestStopBtn, &TMainForm::TestStopBtnClick, true);

  IdleTimer = platform_.CreateTimer();
  IdleTimer->SetInterval(500);
  IdleTimer->OnTimer = [this] { IdleTimerTimer(); };
  ErrFlashTimer = platform_.CreateTimer();
  ErrFlashTimer->SetInterval(700);
  ErrFlashTimer->OnTimer = [this] { ErrFlashTimerTimer(); };
  ErrFlashTimer->SetEnabled(true);
}

}  // namespace fd::app
