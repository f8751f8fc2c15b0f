// What a screen reader reads of the main window: the names of the window's
// parts, menus and keys, and the highlighted key as the focus, so that the
// reader follows the highlight as the user moves it.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "editor/scanning.h"
#include "editor/tformprincipal.h"
#include "platform/cp1252.h"

namespace {

// Marks the widgets that are keys of the grid, whatever their class.
const char* const kGridKeyProperty = "brunzitGridKey";

// A key of the grid is read as a button; the highlighted key is the focused
// and selected one, and pressing it chooses it as a click would.
class GridKeyAccessible : public QAccessibleWidget {
public:
    explicit GridKeyAccessible(QWidget* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = true;
        state.selectable = true;
        const bool lit = form() && form()->HighlightedKey() == widget() && widget()->isVisible();
        state.focused = lit;
        state.selected = lit;
        return state;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& actionName) override
    {
        auto* key = qobject_cast<QLabel*>(widget());
        if (actionName != pressAction() || !form() || !key || !key->isVisible())
            return;
        // As the pointer does it: over the key, then a click.
        form()->ControlMouseMove(key, 0, 0);
        form()->ControlClick(key);
    }

private:
    TFormPrincipal* form() const { return qobject_cast<TFormPrincipal*>(widget()->window()); }
};

QAccessibleInterface* gridKeyFactory(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(kGridKeyProperty).toBool())
        return new GridKeyAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

QString withoutAccessLetter(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

}  // namespace

void TFormPrincipal::NameForAccessibility()
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(gridKeyFactory);
        return true;
    }();
    (void)factoryInstalled;

    // No name of its own: the window is read by its title, which names the document.
    setAccessibleName(QString());
    centralWidget()->setAccessibleName(QStringLiteral("Finestra principal"));
    PanelEditor->setAccessibleName(QStringLiteral("Panell de l'editor"));
    Editor->setAccessibleName(QStringLiteral("Editor"));
    Editor->verticalScrollBar()->setAccessibleName(QStringLiteral("Despla\u00E7ament vertical"));
    Editor->horizontalScrollBar()->setAccessibleName(QStringLiteral("Despla\u00E7ament horitzontal"));
    PanelLletres->setAccessibleName(QStringLiteral("Teclat"));

    MainMenu1->setAccessibleName(QStringLiteral("Men\u00FA"));
    // Menu entries are read by their captions; a submenu's own window needs
    // its caption given again whenever the language changes it.
    for (QMenu* menu : {MenuArxiu, MenuOpcion, MenuLlengua})
        menu->setAccessibleName(withoutAccessLetter(menu->title()));

    for (int row = 0; row < brunzit::GridRows; ++row) {
        for (int col = 0; col < brunzit::GridColumns; ++col) {
            QLabel* key = GridKey(col, row);
            if (!key->property(kGridKeyProperty).toBool()) {
                key->setProperty(kGridKeyProperty, true);
                // A reader may already hold the plain label's reading of it.
                QAccessibleInterface* held = QAccessible::queryAccessibleInterface(key);
                if (held && !dynamic_cast<GridKeyAccessible*>(held))
                    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(held));
            }
            const std::string spoken = brunzit::SpokenKeyName(brunzit::GridCellAt(col, row)->code);
            key->setAccessibleName(QString::fromUtf8(brunzit::cp1252ToUtf8(spoken)).trimmed());
        }
    }
}

void TFormPrincipal::ReportHighlight(QLabel* key)
{
    highlightedKey_ = key;
    if (!PanelLletres->isVisible()) {
        // The key the reader was on is gone: back to the editor.
        if (reportedKey_ && Editor->hasFocus()) {
            QAccessibleEvent focus(Editor, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
        reportedKey_ = nullptr;
        return;
    }
    // A choice lights the same key again: that is no move to report.
    if (key == reportedKey_)
        return;
    reportedKey_ = key;
    QAccessibleEvent focus(key, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}
