// The main window's composition, its menus and the speaking entry.

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMenu>
#include <QCompleter>
#include <QAbstractItemView>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QMessageBox>
#include <QAbstractButton>
#include <QMenuBar>
#include <QTimer>

#include "editor/gridkey.h"
#include "editor/saytext.h"
#include "editor/documents.h"
#include "platform/cp1252.h"
#include "platform/paths.h"
#include "windowfixture.h"

namespace brunzit {
namespace {

using CompositionTest = WindowTest;
using MenuTest = WindowTest;
using SayTextTest = WindowTest;

std::string Caption(const QAction* action)
{
    return utf8ToCp1252(action->text().toUtf8().toStdString());
}

std::string Caption(const QMenu* menu)
{
    return utf8ToCp1252(menu->title().toUtf8().toStdString());
}

// ---- Composition ---------------------------------------------------------------

TEST_F(CompositionTest, TitleNamesTheUntitledDocument)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Sense nom - ") + QCoreApplication::applicationName());
    EXPECT_EQ(form->DocumentName, "Sense nom");
    form->SetDocumentName("/home/u/cartes/carta.txt");
    EXPECT_EQ(form->windowTitle(), QStringLiteral("carta.txt - ") + QCoreApplication::applicationName());
    EXPECT_EQ(form->DocumentName, "/home/u/cartes/carta.txt");
}

TEST_F(CompositionTest, KeysFillThePanelWithCaptionsThatFit)
{
    EXPECT_FALSE(form->PanelLletres->isVisibleTo(form.get()));
    ShowGrid();
    form->showNormal();
    int smallSign = 0;
    // The design's window, then a wide screen's.
    for (const QSize window : {QSize(774, 596), QSize(1920, 1050)}) {
        SCOPED_TRACE(window.width());
        form->resize(window);
        QCoreApplication::processEvents();
        const QSize panel = form->PanelLletres->size();
        EXPECT_EQ(panel.width(), form->centralWidget()->width());
        EXPECT_GE(panel.height(), std::max(290, form->centralWidget()->height() * 2 / 5));
        const QSize key(panel.width() / 12, panel.height() / 4);
        const QRect box = GridKey::captionBoxFor(key);
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 12; ++col) {
                QLabel* label = form->GridKey(col, row);
                EXPECT_EQ(label->geometry(), QRect(col * key.width(), row * key.height(), key.width(), key.height()));
                EXPECT_TRUE(label->font().bold());
                // Never cut: the caption's ink, centred, stays inside the frame.
                const QRect ink = QFontMetrics(label->font()).tightBoundingRect(label->text());
                EXPECT_LE(ink.width(), box.width()) << label->objectName().toStdString();
                EXPECT_LE(ink.height(), box.height()) << label->objectName().toStdString();
                const bool word = label->text().size() > 1;
                EXPECT_EQ(label->font(), (word ? form->Return : form->A)->font());
            }
        }
        EXPECT_GT(form->A->font().pixelSize(), smallSign);
        smallSign = form->A->font().pixelSize();
        // The pointer's cell follows the key sizes: the middle of "Z" says "Z".
        form->ControlMouseMove(form->Z, key.width() / 2, key.height() / 2);
        EXPECT_EQ(form->Choosing().position().col, 5);
        EXPECT_EQ(form->Choosing().position().row, 2);
        form->ControlMouseMove(form->A, 0, 0);
    }
    EXPECT_EQ(form->PanelLletres->findChildren<QLabel*>().size(), 48);
    EXPECT_EQ(form->Editor->font().pixelSize(), 16);
    EXPECT_TRUE(form->Editor->font().bold());
    EXPECT_TRUE(form->TimerMouseHook->isActive());
    EXPECT_EQ(form->TimerMouseHook->interval(), 100);
}

TEST_F(CompositionTest, DialogsAreMadeWhenFirstUsed)
{
    // None at creation: each costs start-up time.
    EXPECT_TRUE(form->findChildren<QFileDialog*>().isEmpty());
    EXPECT_TRUE(form->findChildren<QFontDialog*>().isEmpty());

    struct Row {
        const char* name;
        QFileDialog* (TFormPrincipal::*instance)();
        const char* title;
        QFileDialog::AcceptMode mode;
        QFileDialog::FileMode fileMode;
    };
    const Row rows[] = {
        {"OpenDialog", &TFormPrincipal::OpenDialogInstance, "Obrir", QFileDialog::AcceptOpen,
         QFileDialog::ExistingFile},
        {"SaveDialog", &TFormPrincipal::SaveDialogInstance, "Salvar", QFileDialog::AcceptSave,
         QFileDialog::AnyFile},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFileDialog* dialog = (form.get()->*row.instance)();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QString::fromLatin1(row.name));
        EXPECT_EQ(dialog->windowTitle(), QString::fromLatin1(row.title));
        EXPECT_EQ(dialog->accessibleName(), QString::fromLatin1(row.title));
        EXPECT_EQ(dialog->acceptMode(), row.mode);
        EXPECT_EQ(dialog->fileMode(), row.fileMode);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Text Files (*.txt)")});
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
                  QDir(QString::fromStdString(executableFolder())).canonicalPath());
        EXPECT_EQ(dialog->parent(), form.get());
        EXPECT_EQ((form.get()->*row.instance)(), dialog) << "one dialog, kept between uses";
    }

    // The font dialog starts from the editor's font, whatever it was set to
    // before the dialog was made.
    QFont courier(QStringLiteral("Courier"));
    courier.setPixelSize(22);
    form->FontEditor = {courier, 0x0000FF, 0};
    QFontDialog* font = form->FontDialogEditorInstance();
    EXPECT_EQ(font->objectName(), QStringLiteral("FontDialogEditor"));
    EXPECT_EQ(fontChoiceOf(font), form->FontEditor);
    EXPECT_TRUE(font->testOption(QFontDialog::DontUseNativeDialog));
    EXPECT_EQ(form->FontDialogEditorInstance(), font);
}

TEST_F(CompositionTest, DocumentCommandsUseTheWindowsFileDialogs)
{
    // The save dialog leaves the question about an existing file to the
    // command; the open dialog is the window's own.
    QTimer::singleShot(0, form.get(), [this] {
        QFileDialog* dialog = form->SaveDialogInstance();
        ASSERT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->reject();
    });
    EXPECT_TRUE(form->Documents()->Dialogs().chooseFileToSave().isEmpty());
    QTimer::singleShot(0, form.get(), [this] {
        QFileDialog* dialog = form->OpenDialogInstance();
        ASSERT_TRUE(dialog->isVisible());
        dialog->reject();
    });
    EXPECT_TRUE(form->Documents()->Dialogs().chooseFileToOpen().isEmpty());
    EXPECT_EQ(form->findChildren<QFileDialog*>().size(), 2);
}

TEST_F(CompositionTest, FileDialogsStartSomewhereWritableAndOpenStartsEmpty)
{
    EXPECT_EQ(StartFolderFor(QDir::tempPath()), QDir::tempPath());
    const QString documents = StartFolderFor(QStringLiteral("/no/such/program/folder"));
    EXPECT_EQ(documents, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    EXPECT_TRUE(QFileInfo(documents).isDir());

    QFileDialog* open = form->OpenDialogInstance();
    open->setOption(QFileDialog::DontUseNativeDialog);
    auto* name = open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    QTimer::singleShot(0, open, [open, name] {
        name->setText(QStringLiteral("carta"));
        for (QCompleter* completer : open->findChildren<QCompleter*>())
            completer->popup()->show();
        open->reject();
    });
    open->exec();
    for (QCompleter* completer : open->findChildren<QCompleter*>())
        EXPECT_FALSE(completer->popup()->isVisible()) << "no list left catching keys";
    EXPECT_TRUE(name->text().isEmpty());
}

TEST_F(CompositionTest, KeyAtLooksUpACellAndLeavesTheKeyOutsideTheGrid)
{
    form->KeyAt(3, 2);
    EXPECT_EQ(form->CurrentKey, form->ICS);
    EXPECT_EQ(form->CurrentKeyCode, 'X');
    form->KeyAt(12, 0);
    EXPECT_EQ(form->CurrentKey, form->ICS);
    EXPECT_EQ(form->CurrentKeyCode, ' ');
}

// ---- Menus ---------------------------------------------------------------------

TEST_F(MenuTest, ItemsStartWithTheirCaptionsShortcutsAndTicks)
{
    struct Row {
        QAction* action;
        const char* caption;
        const char* shortcut;
        int ticked;  // -1: not an option
        bool enabled;
    };
    const std::vector<Row> rows = {
        {form->MenuNou, "&Nou", "Ctrl+N", -1, true},
        {form->MenuObrirArxiu, "&Obrir...", "Ctrl+O", -1, true},
        {form->MenuFileSave, "&Desar", "Ctrl+D", -1, true},
        {form->MenuFileSaveAs, "D&esar com...", "Ctrl+E", -1, true},
        {form->MenuImprimir, "Im&primir", "Ctrl+P", -1, true},
        {form->MenuSortir, "Sor&tir", "", -1, true},
        {form->MenuControldelcursoriReturnpercontrolarelteclat,
         "Control del c&ursor i Return per controlar el teclat", "", 1, true},
        {form->MenuLlegirlalletraquesescriu, "Llegir la lletra que s'&escriu", "", 1, true},
        {form->MenuVeureLaLletraQueEsDiu, "Veure la lletra que es diu", "", 0, true},
        {form->MenuTeclatVisible, "Teclat &visible", "", 0, true},
        {form->MenuLlegirlalletraactual, "Llegir la lletra &actual", "", 1, false},
        {form->MenuCopiarALaCarpeta, "Cop&iar a la carpeta", "Ctrl+I", -1, true},
        {form->MenuCalcular, "&Calcular", "Ctrl+A", -1, true},
        {form->MenuTeclesesquerraiavallambelclic, "&Tecles esquerra i avall amb el clic", "Ctrl+T", 0, true},
        {form->MenuCanviarLaFontDelEditor, "Canviar la &font de l'editor...", "Ctrl+F", -1, true},
        {form->MenuFonsNegre, "Fons negre", "", 0, true},
        {form->MenuSintetitzador, "Sintetitzador", "", -1, true},
        {form->MenuCatala, "&Catal\xE0", "", 1, true},
        {form->MenuCastellano, "Cast&ellano", "", 0, true},
        {form->MenuParlant, "&Parlant de...", "", -1, true},
    };
    for (const Row& row : rows) {
        ASSERT_NE(row.action, nullptr) << row.caption;
        EXPECT_EQ(Caption(row.action), row.caption);
        EXPECT_EQ(row.action->shortcut().toString(), QString::fromLatin1(row.shortcut)) << row.caption;
        if (row.ticked >= 0)
            EXPECT_EQ(row.action->isChecked(), row.ticked == 1) << row.caption;
        else
            EXPECT_FALSE(row.action->isCheckable()) << row.caption;
        EXPECT_EQ(row.action->isEnabled(), row.enabled) << row.caption;
    }
    EXPECT_EQ(Caption(form->MenuArxiu), "&Arxiu");
    EXPECT_EQ(Caption(form->MenuOpcion), "&Opcions");
    EXPECT_EQ(Caption(form->MenuLlengua), "&Llengua");
    // Top level: three submenus and the About item, in that order.
    const QList<QAction*> top = form->menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0], form->MenuArxiu->menuAction());
    EXPECT_EQ(top[3], form->MenuParlant);
}

TEST_F(MenuTest, LanguageCommandsSetThe19Captions)
{
    struct Row {
        QObject* item;
        const char* catalan;
        const char* spanish;
    };
    const std::vector<Row> rows = {
        {form->MenuArxiu, "&Arxiu", "&Archivo"},
        {form->MenuNou, "&Nou", "&Nuevo"},
        {form->MenuObrirArxiu, "&Obrir...", "&Abrir..."},
        {form->MenuFileSave, "&Salvar", "&Salvar"},
        {form->MenuFileSaveAs, "S&alvar com...", "S&alvar como..."},
        {form->MenuImprimir, "Im&primir", "Im&primir"},
        {form->MenuSortir, "Sor&tir", "Sa&lir"},
        {form->MenuOpcion, "&Opcions", "&Opciones"},
        {form->MenuControldelcursoriReturnpercontrolarelteclat,
         "Control del c&ursor i Return per controlar el teclat",
         "Control del c&ursor y Return para controlar el teclado"},
        {form->MenuLlegirlalletraquesescriu, "Llegir la lletra que s'&escriu", "Leer la letra que se &escribe"},
        {form->MenuVeureLaLletraQueEsDiu, "Veure la lletra que es diu", "Ver la letra que se dice"},
        {form->MenuTeclatVisible, "Teclat &visible", "Teclado &visible"},
        {form->MenuLlegirlalletraactual, "Llegir la lletra &actual", "Leer la letra &actual"},
        {form->MenuCalcular, "&Calcular", "&Calcular"},
        {form->MenuTeclesesquerraiavallambelclic, "&Tecles esquerra i avall amb el clic",
         "&Teclas izquierda y abajo con el clic"},
        {form->MenuCanviarLaFontDelEditor, "Canviar la &font de l'editor...", "Cambiar la &fuente del editor..."},
        {form->MenuFonsNegre, "Fons negre", "Fondo negro"},
        {form->MenuLlengua, "&Llengua", "&Lengua"},
        {form->MenuParlant, "&Parlant de...", "Acerca &de..."},
        {form->MenuTotesLesLletres, "Totes les lletres", "Todas las letras"},
        {form->MenuMinuscules, "Min\xFAscules", "Min\xFAsculas"},
        {form->MenuLletresPerFrequencia, "Lletres per freq\xFC\xE8ncia", "Letras por frecuencia"},
        {form->MenuLletresSegonsLaParaula, "Lletres segons la paraula", "Letras seg\xFAn la palabra"},
        {form->MenuPrediccioDeParaules, "Predicci\xF3 de paraules", "Predicci\xF3n de palabras"},
        {form->MenuOblidarLesParaules, "Oblidar les paraules apreses", "Olvidar las palabras aprendidas"},
    };
    auto captionOf = [](QObject* item) {
        if (auto* menu = qobject_cast<QMenu*>(item))
            return Caption(menu);
        return Caption(static_cast<QAction*>(item));
    };
    form->MenuCastellano->trigger();
    EXPECT_TRUE(form->MenuCastellano->isChecked());
    EXPECT_FALSE(form->MenuCatala->isChecked());
    for (const Row& row : rows)
        EXPECT_EQ(captionOf(row.item), row.spanish) << row.catalan;
    EXPECT_EQ(Caption(form->MenuCopiarALaCarpeta), "Cop&iar a la carpeta");
    EXPECT_EQ(Caption(form->MenuSintetitzador), "Sintetitzador");

    form->MenuCatala->trigger();
    EXPECT_TRUE(form->MenuCatala->isChecked());
    EXPECT_FALSE(form->MenuCastellano->isChecked());
    for (const Row& row : rows)
        EXPECT_EQ(captionOf(row.item), row.catalan) << row.catalan;

    form->MenuCatala->trigger();  // the ticked language stays ticked
    EXPECT_TRUE(form->MenuCatala->isChecked());
    EXPECT_TRUE(Said().empty());
}

TEST_F(MenuTest, QtTextsFollowTheInterfaceLanguage)
{
    struct Row {
        void (TFormPrincipal::*command)();
        const char* yes;
        const char* cancel;
    };
    // Back to Catalan last: the translation is the process's.
    for (const Row& row : {Row{&TFormPrincipal::MenuCastellanoClick, "&S\u00ed", "Cancelar"},
                           Row{&TFormPrincipal::MenuCatalaClick, "&S\u00ed", "Cancel\u00b7la"}}) {
        SCOPED_TRACE(row.cancel);
        (form.get()->*row.command)();
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8(row.yes));
        EXPECT_EQ(box.button(QMessageBox::No)->text().remove(u'&'), QStringLiteral("No"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(u'&'), QString::fromUtf8(row.cancel));
    }
}

TEST_F(MenuTest, OptionCommandsFlipTheirTickFromTheMenuOrDirectly)
{
    struct Row {
        QAction* action;
        void (TFormPrincipal::*command)();
    };
    const std::vector<Row> rows = {
        {form->MenuControldelcursoriReturnpercontrolarelteclat,
         &TFormPrincipal::MenuControldelcursoriReturnpercontrolarelteclatClick},
        {form->MenuLlegirlalletraquesescriu, &TFormPrincipal::MenuLlegirlalletraquesescriuClick},
        {form->MenuVeureLaLletraQueEsDiu, &TFormPrincipal::MenuVeureLaLletraQueEsDiuClick},
        {form->MenuLlegirlalletraactual, &TFormPrincipal::MenuLlegirlalletraactualClick},
    };
    for (const Row& row : rows) {
        const bool before = row.action->isChecked();
        (form.get()->*row.command)();
        EXPECT_NE(row.action->isChecked(), before) << Caption(row.action);
        row.action->setEnabled(true);
        row.action->trigger();
        EXPECT_EQ(row.action->isChecked(), before) << Caption(row.action);
    }
    EXPECT_FALSE(form->WantReturns());
    form->MenuControldelcursoriReturnpercontrolarelteclat->trigger();
    EXPECT_TRUE(form->WantReturns());
}

TEST_F(MenuTest, TeclatVisibleSwapsTheHighlightReadingAndMouseClickItems)
{
    form->MenuTeclatVisible->trigger();
    EXPECT_TRUE(form->MenuTeclatVisible->isChecked());
    EXPECT_TRUE(form->PanelLletres->isVisible());
    EXPECT_TRUE(form->MenuLlegirlalletraactual->isEnabled());
    EXPECT_FALSE(form->MenuTeclesesquerraiavallambelclic->isEnabled());
    form->MenuTeclatVisible->trigger();
    EXPECT_FALSE(form->PanelLletres->isVisible());
    EXPECT_FALSE(form->MenuLlegirlalletraactual->isEnabled());
    EXPECT_TRUE(form->MenuTeclesesquerraiavallambelclic->isEnabled());
    EXPECT_EQ(Said(), Spoken{"espai"});
}

TEST_F(MenuTest, SpeechAndAboutWindowsOpenModallyAndSortirCloses)
{
    QDialog about;
    QDialog speech;
    form->SetCompanions(&about, lletra.get(), &speech, &speaker);
    struct Row {
        QAction* action;
        QDialog* dialog;
    };
    for (const Row& row : {Row{form->MenuSintetitzador, &speech}, Row{form->MenuParlant, &about}}) {
        bool wasModal = false;
        QTimer::singleShot(0, row.dialog, [&wasModal, dialog = row.dialog] {
            wasModal = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            dialog->reject();
        });
        row.action->trigger();  // returns once the dialog is closed
        EXPECT_TRUE(wasModal) << Caption(row.action);
        EXPECT_FALSE(row.dialog->isVisible());
    }
    form->MenuSortir->trigger();
    EXPECT_FALSE(form->isVisible());
}

// ---- What a screen reader is told --------------------------------------------
// (The events a reader is sent are followed through AT-SPI by the program's
// accessibility check: this platform sends none.)

QString LitKeys(const TFormPrincipal& form)
{
    QStringList lit;
    for (QLabel* key : form.PanelLletres->findChildren<QLabel*>()) {
        const QAccessible::State state = QAccessible::queryAccessibleInterface(key)->state();
        if (state.focused || state.selected)
            lit << key->accessibleName() + (state.focused && state.selected ? "" : " (half)");
    }
    return lit.join(QLatin1Char(','));
}

TEST_F(CompositionTest, KeysAreButtonsAndTheHighlightIsTheReadersFocus)
{
    for (QLabel* key : form->PanelLletres->findChildren<QLabel*>())
        EXPECT_EQ(QAccessible::queryAccessibleInterface(key)->role(), QAccessible::Button)
            << key->objectName().toStdString();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->siete)->text(QAccessible::Name), QStringLiteral("7"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form->YGREGA)->text(QAccessible::Name), QStringLiteral("i grega"));

    struct Row {
        const char* step;
        std::function<void()> act;
        const char* lit;
    };
    const std::vector<Row> rows = {
        {"panel hidden at start", [] {}, ""},
        {"panel shown", [this] { ShowGrid(); }, "a"},
        {"Right", [this] { Key(Qt::Key_Right); }, "B"},
        {"a choice", [this] { Key(Qt::Key_Return); }, "B"},
        {"Left twice wraps", [this] { Keys(Qt::Key_Left, 2); }, "Llegir"},
        {"pointer", [this] { form->ControlMouseMove(form->dividid, 5, 5); }, "dividid"},
        {"press through the reader", [this] {
             QAccessible::queryAccessibleInterface(form->C)->actionInterface()->doAction(
                 QAccessibleActionInterface::pressAction());
         }, "C"},
        {"panel hidden", [this] { form->MenuTeclatVisibleClick(); }, ""},
    };
    for (const Row& row : rows) {
        row.act();
        EXPECT_EQ(LitKeys(*form), QString::fromUtf8(row.lit)) << row.step;
    }
    EXPECT_EQ(Text(), "BC");

    // A submenu's own window is read by its caption in the language shown;
    // the window by its title, which names the document.
    form->MenuCastellano->trigger();
    EXPECT_EQ(form->MenuArxiu->accessibleName(), QStringLiteral("Archivo"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name), form->windowTitle());
}

// ---- SayText -------------------------------------------------------------------

std::string LetterShown(const TFormLletra& lletra)
{
    return utf8ToCp1252(lletra.LabelLletra->text().toUtf8().toStdString());
}

TEST_F(SayTextTest, DialogsPushTheLetterAsideAndMessageBoxesAreSaid)
{
    form->MenuVeureLaLletraQueEsDiu->trigger();
    form->SayText("A");
    ASSERT_TRUE(lletra->isVisible());
    Said();
    struct Row {
        const char* name;
        std::function<QDialog*()> make;
        Spoken said;
    };
    const std::vector<Row> rows = {
        {"question", [this] {
             auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("brunzit"),
                                         QStringLiteral("Salvar canvis a carta?"),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, form.get());
             return box;
         }, {}},
        {"file dialog", [this] { return new QFileDialog(form.get()); }, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<QDialog> dialog(row.make());
        bool hiddenMeanwhile = false;
        QTimer::singleShot(0, form.get(), [&] {
            // A letter said while the dialog is open does not bring the window back.
            form->SayText("B");
            hiddenMeanwhile = !lletra->isVisible();
            dialog->reject();
        });
        dialog->exec();
        QCoreApplication::processEvents();
        EXPECT_TRUE(hiddenMeanwhile);
        EXPECT_TRUE(lletra->isVisible()) << "back once the dialog has closed";
        const Spoken said = Said();
        if (auto* box = qobject_cast<QMessageBox*>(dialog.get())) {
            ASSERT_EQ(said.size(), 2u);
            // The question, then every button in screen order.
            EXPECT_EQ(said[0].rfind("salvar canvis a carta?", 0), 0u) << said[0];
            for (QAbstractButton* button : box->buttons())
                EXPECT_NE(said[0].find(utf8ToCp1252(button->text().remove(u'&').toLower().toUtf8().toStdString())),
                          std::string::npos);
        } else {
            EXPECT_EQ(said, Spoken{"b"});
        }
    }
    // Closed by the user while a dialog was open: it stays closed.
    form->MenuVeureLaLletraQueEsDiu->trigger();
    QFileDialog dialog(form.get());
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    EXPECT_FALSE(lletra->isVisible());
}

TEST_F(SayTextTest, ShowsTheLetterOnlyWhileTheOptionIsOn)
{
    form->SayText("quu");
    EXPECT_FALSE(lletra->isVisible());
    form->MenuVeureLaLletraQueEsDiuClick();
    EXPECT_FALSE(lletra->isVisible());  // ticking shows nothing yet
    form->SayText("quu");
    EXPECT_TRUE(lletra->isVisible());
    EXPECT_EQ(LetterShown(*lletra), "Q");
    EXPECT_EQ(Said(), (Spoken{"quu", "quu"}));

    form->MenuVeureLaLletraQueEsDiuClick();
    EXPECT_FALSE(lletra->isVisible());
}

TEST_F(SayTextTest, LetterWindowShowsDisplayFormsAndHidesFunctionNames)
{
    form->MenuVeureLaLletraQueEsDiuClick();
    struct Row {
        const char* name;
        int row, col;
        const char* text;
        const char* shown;
        const char* spoken;  // nullptr: nothing reaches the speech service
    };
    const std::vector<Row> rows = {
        {"letter", 0, 3, "quu", "Q", "quu"},
        {"sign", 4, 0, "m\xE9s", "+", "m\xE9s"},
        {"space looks empty", 0, 0, "espai", " ", "espai"},
        {"function entry", 1, 0, "LLEGIR-HO TOT", "", "llegir-ho tot"},
        {"block name", 3, -1, "bloc n\xFAmeros", "", "bloc n\xFAmeros"},
        {"sound file shown but not said", 0, 1, "so.wav", "so.wav", nullptr},
        {"catalan \xD1", 0, 15, "\xD1", "\xD1", "enye"},
    };
    for (const Row& row : rows) {
        form->SetPosition({row.col, row.row});
        form->SayText(row.text);
        EXPECT_TRUE(lletra->isVisible()) << row.name;
        EXPECT_EQ(LetterShown(*lletra), row.shown) << row.name;
        const Spoken said = Said();
        if (row.spoken)
            EXPECT_EQ(said, Spoken{row.spoken}) << row.name;
        else
            EXPECT_TRUE(said.empty()) << row.name;
    }
    // With the grid shown, nothing is hidden.
    ShowGrid();
    form->SetPosition({form->Choosing().position().col, 1});
    form->SayText("quu");
    EXPECT_EQ(LetterShown(*lletra), "Q");
}

TEST_F(SayTextTest, ScanningKeyHidesTheLetterUntilTheNextWord)
{
    form->MenuVeureLaLletraQueEsDiuClick();
    form->SayText("A");
    ASSERT_TRUE(lletra->isVisible());
    form->FormKeyDown(Qt::Key_Right);  // hidden, then shown again by what it says
    EXPECT_TRUE(lletra->isVisible());
    EXPECT_EQ(LetterShown(*lletra), "A");
    form->FormKeyDown(Qt::Key_F5);     // a key that says nothing leaves it hidden
    EXPECT_FALSE(lletra->isVisible());
}

TEST_F(SayTextTest, ClosingTheLetterWindowUnticksTheOption)
{
    form->MenuVeureLaLletraQueEsDiuClick();
    form->SayText("A");
    ASSERT_TRUE(lletra->isVisible());
    lletra->close();
    EXPECT_FALSE(form->MenuVeureLaLletraQueEsDiu->isChecked());
    form->SayText("B");
    EXPECT_FALSE(lletra->isVisible());
}

TEST_F(SayTextTest, LanguageDecidesHowEnyeIsSaid)
{
    form->SayText("\xD1");
    form->MenuCastellanoClick();
    form->SayText("\xD1");
    form->SayText("HOLA\r\nDIA");
    form->SayText("");
    EXPECT_EQ(Said(), (Spoken{"enye", "\xD1", "hola dia"}));
}

}  // namespace
}  // namespace brunzit
