#pragma once
// A row of extra keys above the grid (predicted words, or the letters and
// signs the grid lacks): the pointer over a key reports it, a click chooses.

#include <QWidget>
#include <string>
#include <vector>

class QLabel;

namespace brunzit {

class KeyRow : public QWidget {
    Q_OBJECT
public:
    struct Key {
        std::string caption;  // Windows-1252
        std::string spoken;
    };
    KeyRow(const QString& name, QWidget* parent);
    void setKeys(const std::vector<Key>& keys);
    int count() const { return static_cast<int>(labels_.size()); }
    QLabel* label(int index) const { return labels_[static_cast<std::size_t>(index)]; }
    // A screen reader's "press" on a key: chosen as a click chooses it.
    void press(const QWidget* key);

signals:
    void pointed(int index);
    void chosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<QLabel*> labels_;
};

}  // namespace brunzit
