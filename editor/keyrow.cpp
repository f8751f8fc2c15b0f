#include "editor/keyrow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

constexpr int kRowHeight = 48;
const char* const kRowKeyProperty = "brunzitRowKey";

// A key of a row is read as a button named by what it says; pressing it
// writes it, as a click does.
class RowKeyAccessible : public QAccessibleWidget {
public:
    explicit RowKeyAccessible(QWidget* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& actionName) override
    {
        auto* row = qobject_cast<KeyRow*>(widget()->parentWidget());
        if (actionName == pressAction() && row && widget()->isVisible())
            row->press(widget());
    }
};

QAccessibleInterface* rowKeyFactory(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(kRowKeyProperty).toBool())
        return new RowKeyAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

QString toQt(const std::string& cp1252)
{
    return QString::fromUtf8(cp1252ToUtf8(cp1252));
}

}  // namespace

KeyRow::KeyRow(const QString& name, QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(rowKeyFactory);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(name);
    setAccessibleName(name);
    setFixedHeight(kRowHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
}

void KeyRow::setKeys(const std::vector<Key>& keys)
{
    // The keys are relabelled, not rebuilt: a choice made by a click on a key
    // changes the row while that key's own mouse event is still being
    // delivered, so no key may be destroyed at once.
    while (labels_.size() > keys.size()) {
        labels_.back()->hide();
        labels_.back()->deleteLater();
        labels_.pop_back();
    }
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kRowHeight * 2 / 3);
    font.setBold(true);
    while (labels_.size() < keys.size()) {
        auto* label = new QLabel(this);
        label->setProperty(kRowKeyProperty, true);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(font);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
        label->setMouseTracking(true);
        label->installEventFilter(this);
        layout()->addWidget(label);
        labels_.push_back(label);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        labels_[i]->setText(toQt(keys[i].caption));
        labels_[i]->setAccessibleName(toQt(keys[i].spoken));
    }
}

void KeyRow::press(const QWidget* key)
{
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        if (labels_[i] == key) {
            emit chosen(static_cast<int>(i));
            return;
        }
    }
}

bool KeyRow::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < count(); ++i) {
        if (watched != labels_[static_cast<std::size_t>(i)])
            continue;
        if (event->type() == QEvent::Enter)
            emit pointed(i);
        else if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            emit chosen(i);
        break;  // the row may have changed under the signal
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace brunzit
