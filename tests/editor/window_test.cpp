// The main window's composition, its menus and the speaking entry.

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

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

TEST_F(CompositionTest, KeysSitOnTheGridWithTheirFonts)
{
    EXPECT_FALSE(form->PanelLletres->isVisibleTo(form.get()));
    EXPECT_EQ(form->PanelLletres->height(), 290);
    struct Row {
        QLabel* key;
        const char* name;
        int col, row, pixels;
    };
    const std::vector<Row> rows = {
        {form->A, "A", 0, 0, 67},          {form->Return, "Return", 10, 0, 53},
        {form->Llegir, "Llegir", 11, 0, 53}, {form->punt, "punt", 10, 1, 67},
        {form->YGREGA, "YGREGA", 4, 2, 67}, {form->dividid, "dividid", 9, 2, 67},
        {form->Calcular, "Calcular", 11, 2, 53}, {form->siete, "siete", 7, 3, 67},
        {form->espai, "espai", 10, 3, 67}, {form->Imprimir, "Imprimir", 11, 3, 53},
    };
    for (const Row& row : rows) {
        ASSERT_NE(row.key, nullptr) << row.name;
        EXPECT_EQ(row.key->objectName(), QString::fromLatin1(row.name));
        EXPECT_EQ(row.key->geometry(), QRect(row.col * 64, row.row * 72, 64, 72)) << row.name;
        EXPECT_EQ(row.key->font().pixelSize(), row.pixels) << row.name;
        EXPECT_TRUE(row.key->font().bold()) << row.name;
        EXPECT_EQ(form->GridKey(row.col, row.row), row.key) << row.name;
        EXPECT_FALSE(row.key->accessibleName().isEmpty()) << row.name;
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

// ---- SayText -------------------------------------------------------------------

std::string LetterShown(const TFormLletra& lletra)
{
    return utf8ToCp1252(lletra.LabelLletra->text().toUtf8().toStdString());
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
