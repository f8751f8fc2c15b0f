// MainMenu1: the menu tree, the two caption tables and the option commands.

#include <QAction>
#include <QKeyEvent>
#include <QActionGroup>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <array>

#include "editor/qttranslation.h"
#include "editor/scanlayout.h"
#include "editor/settingsfile.h"
#include "platform/ticks.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "speech/textspeaker.h"
#include "platform/cp1252.h"

namespace {

QString toQt(const char* cp1252)
{
    return QString::fromUtf8(brunzit::cp1252ToUtf8(cp1252));
}

// The 20 captions both language commands set, in menu order.
struct CaptionRow {
    const char* catalan;
    const char* spanish;
};

constexpr std::array<CaptionRow, 20> kCaptions{{
    {"&Arxiu", "&Archivo"},
    {"&Nou", "&Nuevo"},
    {"&Obrir...", "&Abrir..."},
    {"&Salvar", "&Salvar"},
    {"S&alvar com...", "S&alvar como..."},
    {"Im&primir", "Im&primir"},
    {"Sor&tir", "Sa&lir"},
    {"&Opcions", "&Opciones"},
    {"Control del c&ursor i Return per controlar el teclat", "Control del c&ursor y Return para controlar el teclado"},
    {"Llegir la lletra que s'&escriu", "Leer la letra que se &escribe"},
    {"Veure la lletra que es diu", "Ver la letra que se dice"},
    {"Teclat &visible", "Teclado &visible"},
    {"Llegir la lletra &actual", "Leer la letra &actual"},
    {"&Calcular", "&Calcular"},
    {"&Tecles esquerra i avall amb el clic", "&Teclas izquierda y abajo con el clic"},
    {"Tallar la veu a cada tecla", "Cortar la voz en cada tecla"},
    {"Canviar la &font de l'editor...", "Cambiar la &fuente del editor..."},
    {"Fons negre", "Fondo negro"},
    {"&Llengua", "&Lengua"},
    {"&Parlant de...", "Acerca &de..."},
}};

// The writing options' items, in menu order.
constexpr std::array<CaptionRow, 10> kWritingCaptions{{
    {"Totes les lletres", "Todas las letras"},
    {"Min\xFAscules", "Min\xFAsculas"},
    {"Lletres per freq\xFC\xE8ncia", "Letras por frecuencia"},
    {"Lletres segons la paraula", "Letras seg\xFAn la palabra"},
    {"Predicci\xF3 de paraules", "Predicci\xF3n de palabras"},
    {"Oblidar les paraules apreses", "Olvidar las palabras aprendidas"},
    {"Escombrat autom\xE0tic", "Barrido autom\xE1tico"},
    {"Interval de l'escombrat", "Intervalo del barrido"},
    {"Temps d'acceptaci\xF3 del polsador", "Tiempo de aceptaci\xF3n del pulsador"},
    {"Temps de bloqueig del polsador", "Tiempo de bloqueo del pulsador"},
}};

// Switch filtering choices, in milliseconds; -1 is the quiet second.
constexpr std::array<int, 6> kAcceptanceTimes{0, 100, 200, 300, 500, 1000};
constexpr std::array<int, 7> kLockoutTimes{-1, 0, 250, 500, 1000, 2000, 3000};

QString seconds(int ms)
{
    if (ms < 0)
        return QStringLiteral("1 s *");
    return QStringLiteral("%1 s").arg(QString::number(ms / 1000.0, 'g', 2).replace(QLatin1Char('.'), QLatin1Char(',')));
}

// The intervals offered for the automatic scanning, in milliseconds.
constexpr std::array<int, 8> kAutoScanIntervals{300, 500, 800, 1000, 1500, 2000, 3000, 5000};

}  // namespace

void TFormPrincipal::CreateMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    auto item = [this](QMenu* menu, QAction*& member, const char* name, const char* caption,
                       QKeySequence shortcut = {}) {
        member = menu->addAction(toQt(caption));
        member->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty())
            member->setShortcut(shortcut);
        return member;
    };
    auto submenu = [this](QMenu*& member, const char* name, const char* caption) {
        member = MainMenu1->addMenu(toQt(caption));
        member->setObjectName(QString::fromLatin1(name));
        member->menuAction()->setObjectName(QString::fromLatin1(name));
    };
    auto option = [](QAction* action, bool ticked) {
        action->setCheckable(true);
        action->setChecked(ticked);
    };

    submenu(MenuArxiu, "MenuArxiu", "&Arxiu");
    item(MenuArxiu, MenuNou, "MenuNou", "&Nou", QKeySequence(Qt::CTRL | Qt::Key_N));
    item(MenuArxiu, MenuObrirArxiu, "MenuObrirArxiu", "&Obrir...", QKeySequence(Qt::CTRL | Qt::Key_O));
    MenuArxiu->addSeparator();
    item(MenuArxiu, MenuFileSave, "MenuFileSave", "&Desar", QKeySequence(Qt::CTRL | Qt::Key_D));
    item(MenuArxiu, MenuFileSaveAs, "MenuFileSaveAs", "D&esar com...", QKeySequence(Qt::CTRL | Qt::Key_E));
    MenuArxiu->addSeparator();
    item(MenuArxiu, MenuImprimir, "MenuImprimir", "Im&primir", QKeySequence(Qt::CTRL | Qt::Key_P));
    MenuArxiu->addSeparator();
    item(MenuArxiu, MenuSortir, "MenuSortir", "Sor&tir");

    submenu(MenuOpcion, "MenuOpcion", "&Opcions");
    option(item(MenuOpcion, MenuControldelcursoriReturnpercontrolarelteclat,
                "MenuControldelcursoriReturnpercontrolarelteclat",
                "Control del c&ursor i Return per controlar el teclat"),
           true);
    option(item(MenuOpcion, MenuLlegirlalletraquesescriu, "MenuLlegirlalletraquesescriu",
                "Llegir la lletra que s'&escriu"),
           true);
    option(item(MenuOpcion, MenuVeureLaLletraQueEsDiu, "MenuVeureLaLletraQueEsDiu", "Veure la lletra que es diu"),
           false);
    MenuOpcion->addSeparator();
    option(item(MenuOpcion, MenuTeclatVisible, "MenuTeclatVisible", "Teclat &visible"), false);
    option(item(MenuOpcion, MenuLlegirlalletraactual, "MenuLlegirlalletraactual", "Llegir la lletra &actual"),
           true);
    MenuLlegirlalletraactual->setEnabled(false);
    MenuOpcion->addSeparator();
    item(MenuOpcion, MenuCopiarALaCarpeta, "MenuCopiarALaCarpeta", "Cop&iar a la carpeta",
         QKeySequence(Qt::CTRL | Qt::Key_I));
    item(MenuOpcion, MenuCalcular, "MenuCalcular", "&Calcular", QKeySequence(Qt::CTRL | Qt::Key_A));
    MenuOpcion->addSeparator();
    option(item(MenuOpcion, MenuTeclesesquerraiavallambelclic, "MenuTeclesesquerraiavallambelclic",
                "&Tecles esquerra i avall amb el clic", QKeySequence(Qt::CTRL | Qt::Key_T)),
           false);
    option(item(MenuOpcion, MenuTallarLaVeu, "MenuTallarLaVeu", "Tallar la veu a cada tecla"), true);
    MenuOpcion->addSeparator();
    option(item(MenuOpcion, MenuTotesLesLletres, "MenuTotesLesLletres", kWritingCaptions[0].catalan), false);
    option(item(MenuOpcion, MenuMinuscules, "MenuMinuscules", kWritingCaptions[1].catalan), false);
    option(item(MenuOpcion, MenuLletresPerFrequencia, "MenuLletresPerFrequencia", kWritingCaptions[2].catalan),
           false);
    option(item(MenuOpcion, MenuLletresSegonsLaParaula, "MenuLletresSegonsLaParaula", kWritingCaptions[3].catalan),
           false);
    option(item(MenuOpcion, MenuPrediccioDeParaules, "MenuPrediccioDeParaules", kWritingCaptions[4].catalan), false);
    item(MenuOpcion, MenuOblidarLesParaules, "MenuOblidarLesParaules", kWritingCaptions[5].catalan);
    option(item(MenuOpcion, MenuEscombratAutomatic, "MenuEscombratAutomatic", kWritingCaptions[6].catalan), false);
    MenuIntervalEscombrat = MenuOpcion->addMenu(toQt(kWritingCaptions[7].catalan));
    MenuIntervalEscombrat->setObjectName(QStringLiteral("MenuIntervalEscombrat"));
    intervalGroup_ = new QActionGroup(this);
    intervalGroup_->setExclusive(true);
    for (const int ms : kAutoScanIntervals) {
        QAction* interval = MenuIntervalEscombrat->addAction(seconds(ms));
        interval->setCheckable(true);
        interval->setData(ms);
        interval->setChecked(ms == brunzit::EditorOptions().autoScanMs);
        intervalGroup_->addAction(interval);
        connect(interval, &QAction::triggered, this, [this, ms] { SetAutoScanInterval(ms); });
    }
    auto timing = [this](QMenu*& menu, const char* name, const char* caption, const auto& values, int ticked,
                         auto apply) {
        menu = MenuOpcion->addMenu(toQt(caption));
        menu->setObjectName(QString::fromLatin1(name));
        auto* group = new QActionGroup(menu);
        for (const int ms : values) {
            QAction* choice = menu->addAction(seconds(ms));
            choice->setCheckable(true);
            choice->setData(ms);
            choice->setChecked(ms == ticked);
            group->addAction(choice);
            connect(choice, &QAction::triggered, this, [this, ms, apply] { (this->*apply)(ms); });
        }
    };
    timing(MenuTempsAcceptacio, "MenuTempsAcceptacio", kWritingCaptions[8].catalan, kAcceptanceTimes, 0,
           &TFormPrincipal::SetAcceptanceTime);
    timing(MenuTempsBloqueig, "MenuTempsBloqueig", kWritingCaptions[9].catalan, kLockoutTimes, -1,
           &TFormPrincipal::SetLockoutTime);
    MenuOpcion->addSeparator();
    item(MenuOpcion, MenuCanviarLaFontDelEditor, "MenuCanviarLaFontDelEditor", "Canviar la &font de l'editor...",
         QKeySequence(Qt::CTRL | Qt::Key_F));
    MenuOpcion->addSeparator();
    option(item(MenuOpcion, MenuFonsNegre, "MenuFonsNegre", "Fons negre"), false);
    MenuOpcion->addSeparator();
    item(MenuOpcion, MenuSintetitzador, "MenuSintetitzador", "Sintetitzador");

    submenu(MenuLlengua, "MenuLlengua", "&Llengua");
    option(item(MenuLlengua, MenuCatala, "MenuCatala", "&Catal\xE0"), true);
    option(item(MenuLlengua, MenuCastellano, "MenuCastellano", "Cast&ellano"), false);
    // Exactly one language is ticked; clicking the ticked one keeps it.
    languageGroup_ = new QActionGroup(this);
    languageGroup_->setExclusive(true);
    languageGroup_->addAction(MenuCatala);
    languageGroup_->addAction(MenuCastellano);

    brunzit::UseQtTranslation(true);
    MenuParlant = MainMenu1->addAction(toQt("&Parlant de..."));
    MenuParlant->setObjectName(QStringLiteral("MenuParlant"));

    // Options: the tick is the state; what follows from a tick is applied
    // whenever it changes, from the menu or from a command.
    connect(MenuControldelcursoriReturnpercontrolarelteclat, &QAction::toggled, this,
            &TFormPrincipal::CursorControlToggled);
    connect(MenuVeureLaLletraQueEsDiu, &QAction::toggled, this, &TFormPrincipal::VeureLaLletraToggled);
    connect(MenuTeclatVisible, &QAction::toggled, this, &TFormPrincipal::TeclatVisibleToggled);

    for (QAction* writing : {MenuTotesLesLletres, MenuMinuscules, MenuLletresPerFrequencia, MenuLletresSegonsLaParaula,
                             MenuPrediccioDeParaules})
        connect(writing, &QAction::toggled, this, &TFormPrincipal::ApplyWritingOptions);
    connect(MenuOblidarLesParaules, &QAction::triggered, this, &TFormPrincipal::MenuOblidarLesParaulesClick);
    connect(MenuEscombratAutomatic, &QAction::toggled, this, &TFormPrincipal::EscombratAutomaticToggled);

    connect(MenuCatala, &QAction::triggered, this, &TFormPrincipal::MenuCatalaClick);
    connect(MenuCastellano, &QAction::triggered, this, &TFormPrincipal::MenuCastellanoClick);
    connect(MenuCalcular, &QAction::triggered, this, &TFormPrincipal::MenuCalcularClick);
    connect(MenuSintetitzador, &QAction::triggered, this, &TFormPrincipal::MenuSintetitzadorClick);
    connect(MenuParlant, &QAction::triggered, this, &TFormPrincipal::MenuParlantClick);
    connect(MenuSortir, &QAction::triggered, this, &TFormPrincipal::MenuSortirClick);

    connect(MenuNou, &QAction::triggered, this, &TFormPrincipal::MenuNouClick);
    connect(MenuObrirArxiu, &QAction::triggered, this, &TFormPrincipal::MenuObrirArxiuClick);
    connect(MenuFileSave, &QAction::triggered, this, &TFormPrincipal::MenuFileSaveClick);
    connect(MenuFileSaveAs, &QAction::triggered, this, &TFormPrincipal::MenuFileSaveAsClick);
    connect(MenuImprimir, &QAction::triggered, this, &TFormPrincipal::MenuImprimirClick);
    connect(MenuCopiarALaCarpeta, &QAction::triggered, this, &TFormPrincipal::MenuCopiarALaCarpetaClick);
    connect(MenuCanviarLaFontDelEditor, &QAction::triggered, this,
            &TFormPrincipal::MenuCanviarLaFontDelEditorClick);
    // The scheme follows its tick, flipped by the menu or by the command.
    connect(MenuFonsNegre, &QAction::toggled, this, &TFormPrincipal::FonsNegreToggled);
    // Mouse-click control is offered only while the keyboard panel is hidden.
    MenuTeclesesquerraiavallambelclic->setEnabled(!MenuTeclatVisible->isChecked());
    connect(MenuTeclesesquerraiavallambelclic, &QAction::triggered, this,
            &TFormPrincipal::MenuTeclesesquerraiavallambelclicClick);
}

void TFormPrincipal::SetCaptions(bool catalan)
{
    const std::array<QObject*, kCaptions.size()> items{
        MenuArxiu, MenuNou, MenuObrirArxiu, MenuFileSave, MenuFileSaveAs, MenuImprimir, MenuSortir, MenuOpcion,
        MenuControldelcursoriReturnpercontrolarelteclat, MenuLlegirlalletraquesescriu, MenuVeureLaLletraQueEsDiu,
        MenuTeclatVisible, MenuLlegirlalletraactual, MenuCalcular, MenuTeclesesquerraiavallambelclic,
        MenuTallarLaVeu, MenuCanviarLaFontDelEditor, MenuFonsNegre, MenuLlengua, MenuParlant};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QString caption = toQt(catalan ? kCaptions[i].catalan : kCaptions[i].spanish);
        if (auto* menu = qobject_cast<QMenu*>(items[i]))
            menu->setTitle(caption);
        else
            static_cast<QAction*>(items[i])->setText(caption);
    }
    const std::array<QAction*, kWritingCaptions.size()> writing{
        MenuTotesLesLletres, MenuMinuscules, MenuLletresPerFrequencia, MenuLletresSegonsLaParaula, MenuPrediccioDeParaules,
        MenuOblidarLesParaules, MenuEscombratAutomatic, MenuIntervalEscombrat->menuAction(),
        MenuTempsAcceptacio->menuAction(), MenuTempsBloqueig->menuAction()};
    for (std::size_t i = 0; i < writing.size(); ++i)
        writing[i]->setText(toQt(catalan ? kWritingCaptions[i].catalan : kWritingCaptions[i].spanish));
    // The letters of the scanning keyboard follow the language.
    ApplyWritingOptions();
    brunzit::UseQtTranslation(catalan);
    NameForAccessibility();
}

void TFormPrincipal::ApplyWritingOptions()
{
    brunzit::WritingOptions options;
    options.catalan = MenuCatala->isChecked();
    options.everyLetter = MenuTotesLesLletres->isChecked();
    options.lowercase = MenuMinuscules->isChecked();
    options.frequencyOrder = MenuLletresPerFrequencia->isChecked();
    options.wordOrder = MenuLletresSegonsLaParaula->isChecked();
    options.prediction = MenuPrediccioDeParaules->isChecked();
    if (options == selection_.layout().options())
        return;
    selection_.setWritingOptions(options);
    if (options.prediction || options.wordOrder)
        OfferWords();
    UpdateKeyRows();
}

void TFormPrincipal::OfferWords()
{
    const std::string before = TextBeforeChoice();
    const brunzit::WritingOptions& options = selection_.layout().options();
    // The user's words are learnt for the letter order too, words offered or not.
    std::vector<std::string> words = words_.after(before, Catalan());
    if (!options.prediction)
        words.clear();
    // On the grid the highlight stays where it is.
    if (GridVisible())
        selection_.setWords(words);
    else
        selection_.offerWords(words);
    if (options.wordOrder) {
        const auto next = words_.likelyLetters(before, Catalan(), selection_.layout().offeredWords());
        selection_.offerLetters(next.letters, next.letterChances, next.wordChances, !GridVisible());
    }
    UpdateKeyRows();
}

void TFormPrincipal::UpdateKeyRows()
{
    if (!FilaParaules)
        return;
    rowCurrent_.reset();
    const brunzit::ScanLayout& layout = selection_.layout();
    std::vector<brunzit::KeyRow::Key> words;
    if (layout.options().prediction)
        for (const brunzit::ScanItem& item : layout.blocks()[brunzit::PredictionBlock].items)
            words.push_back({item.write, item.say});
    FilaParaules->setKeys(words);
    FilaParaules->setVisible(GridVisible() && layout.options().prediction);

    // The letters and signs the grid has no key for, the likeliest first
    // when the letters are so ordered.
    std::vector<brunzit::KeyRow::Key> letters;
    rowLetters_.clear();
    if (layout.options().everyLetter) {
        for (int block : {brunzit::LettersBlock, 2}) {
            const auto& items = layout.blocks()[block].items;
            for (const int i : layout.itemOrder(block)) {
                const std::string& w = items[i].write;
                const bool onGrid = w == " " || w == "." || w == "\r\n" || w == "-" ||
                                    (w.size() == 1 && w[0] >= 'A' && w[0] <= 'Z');
                if (onGrid)
                    continue;
                letters.push_back({w, items[i].say});
                rowLetters_.push_back({i, block});
            }
        }
    }
    FilaLletres->setKeys(letters);
    FilaLletres->setVisible(GridVisible() && layout.options().everyLetter);
}

void TFormPrincipal::RowPointed(int row, int index)
{
    const brunzit::Position at =
        row == 0 ? brunzit::Position{index, brunzit::PredictionBlock} : rowLetters_[static_cast<std::size_t>(index)];
    rowCurrent_ = at;
    const InputEvent input(this);
    SayText(selection_.layout().blocks()[at.row].items[static_cast<std::size_t>(at.col)].say);
}

void TFormPrincipal::RowChosen(int row, int index)
{
    RowPointed(row, index);
    ChooseCurrent();
}

void TFormPrincipal::MenuOblidarLesParaulesClick()
{
    words_.forget();
    SayText(Catalan() ? "He oblidat les paraules apreses" : "He olvidado las palabras aprendidas");
    if (MenuPrediccioDeParaules->isChecked())
        OfferWords();
}

void TFormPrincipal::MenuCatalaClick()
{
    MenuCatala->setChecked(true);
    MenuCastellano->setChecked(false);
    SetCaptions(true);
}

void TFormPrincipal::MenuCastellanoClick()
{
    MenuCastellano->setChecked(true);
    MenuCatala->setChecked(false);
    SetCaptions(false);
}

void TFormPrincipal::MenuControldelcursoriReturnpercontrolarelteclatClick()
{
    MenuControldelcursoriReturnpercontrolarelteclat->toggle();
}

void TFormPrincipal::MenuLlegirlalletraquesescriuClick()
{
    MenuLlegirlalletraquesescriu->toggle();
}

void TFormPrincipal::MenuVeureLaLletraQueEsDiuClick()
{
    MenuVeureLaLletraQueEsDiu->toggle();
}

void TFormPrincipal::MenuTeclatVisibleClick()
{
    MenuTeclatVisible->toggle();
}

void TFormPrincipal::MenuLlegirlalletraactualClick()
{
    MenuLlegirlalletraactual->toggle();
}

void TFormPrincipal::CursorControlToggled(bool)
{
    // The tick and the editor's acceptance of Return are only ever flipped
    // together: on, Return drives the keyboards; off, it breaks lines.
    wantReturns_ = !wantReturns_;
}

void TFormPrincipal::VeureLaLletraToggled(bool on)
{
    // Ticking shows nothing: the window comes with the next spoken text.
    if (!on && formLletra_)
        formLletra_->hide();
}

void TFormPrincipal::TeclatVisibleToggled(bool on)
{
    MenuLlegirlalletraactual->setEnabled(on);
    // Mouse-click control is only offered with the panel hidden.
    MenuTeclesesquerraiavallambelclic->setEnabled(!on);
    PanelLletres->setVisible(on);
    KeyAt(selection_.position().col, selection_.position().row);
    ColourKey(CurrentKey, false);
    selection_.setPosition({0, 0});
    KeyAt(0, 0);
    ColourKey(CurrentKey, true);
    UpdateKeyRows();
    if (!on)
        SayText("espai");
}

void TFormPrincipal::MenuCalcularClick()
{
    const std::string answer = CalculateEditorLine();
    if (SpeakTyped())
        SayText(answer);
}

void TFormPrincipal::MenuSintetitzadorClick()
{
    if (speechWindow_)
        speechWindow_->exec();
}

void TFormPrincipal::MenuParlantClick()
{
    if (aboutBox_)
        aboutBox_->exec();
}

void TFormPrincipal::MenuSortirClick()
{
    close();
}

bool TFormPrincipal::Catalan() const
{
    return MenuCatala->isChecked();
}

bool TFormPrincipal::GridVisible() const
{
    return MenuTeclatVisible->isChecked();
}

bool TFormPrincipal::SpeakTyped() const
{
    return MenuLlegirlalletraquesescriu->isChecked();
}

// ---- Automatic scanning ----------------------------------------------------

void TFormPrincipal::SetAutoScanInterval(int ms)
{
    autoScanMs_ = std::clamp(ms, brunzit::MinAutoScanMs, brunzit::MaxAutoScanMs);
    for (QAction* interval : intervalGroup_->actions())
        interval->setChecked(interval->data().toInt() == autoScanMs_);
    TimerAutoScan->setInterval(autoScanMs_);
}

void TFormPrincipal::EscombratAutomaticToggled(bool on)
{
    autoScan_.restart();
    if (on)
        TimerAutoScan->start(autoScanMs_);
    else
        TimerAutoScan->stop();
}

bool TFormPrincipal::AutoScanning() const
{
    return MenuEscombratAutomatic->isChecked() && !GridVisible();
}

void TFormPrincipal::TimerAutoScanTimer()
{
    // An item is never cut off by the next: where the engine can tell, a
    // step waits until the item before has been said.
    if (!AutoScanning() || speaking_ > 0 || (speaker_ && speaker_->StillSpeaking()))
        return;
    const brunzit::AutoScan::Tick tick = autoScan_.tick(selection_.layout());
    if (!tick.say.empty())
        SayText(tick.say);
}

void TFormPrincipal::AutoScanPress()
{
    const InputEvent input(this);
    switch (autoScan_.press()) {
    case brunzit::AutoScan::Press::Nothing:
        return;
    case brunzit::AutoScan::Press::Entered:
    case brunzit::AutoScan::Press::Resumed:
        break;
    case brunzit::AutoScan::Press::Chosen:
        selection_.setPosition(autoScan_.position());
        ChooseCurrent();
        autoScan_.restart();
        break;
    }
    // The next step comes a whole interval after the press.
    TimerAutoScan->start(autoScanMs_);
}

// ---- Switch filtering ------------------------------------------------------

void TFormPrincipal::SetAcceptanceTime(int ms)
{
    brunzit::SwitchTiming timing = switchFilter_.timing();
    timing.acceptanceMs = std::clamp(ms, 0, brunzit::SwitchTiming::MaxAcceptanceMs);
    switchFilter_.setTiming(timing);
    for (QAction* choice : MenuTempsAcceptacio->actions())
        choice->setChecked(choice->data().toInt() == timing.acceptanceMs);
}

void TFormPrincipal::SetLockoutTime(int ms)
{
    brunzit::SwitchTiming timing = switchFilter_.timing();
    timing.lockoutMs = ms < 0 ? -1 : std::min(ms, brunzit::SwitchTiming::MaxLockoutMs);
    switchFilter_.setTiming(timing);
    selection_.setClickLockout(timing.lockoutMs);
    for (QAction* choice : MenuTempsBloqueig->actions())
        choice->setChecked(choice->data().toInt() == timing.lockoutMs);
}

void TFormPrincipal::SwitchKey(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    const std::int64_t now = brunzit::tickCountMs();
    // Without an acceptance time a press counts at once; with one, at its
    // release if held long enough.
    if (event->type() == QEvent::KeyPress) {
        switchDown_ = now;
        if (switchFilter_.timing().acceptanceMs == 0 && switchFilter_.accept(now, now))
            AutoScanPress();
    } else if (switchFilter_.timing().acceptanceMs > 0 && switchDown_ >= 0) {
        if (switchFilter_.accept(switchDown_, now))
            AutoScanPress();
        switchDown_ = -1;
    }
}
