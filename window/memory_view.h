#pragma once
// "Memories": what is in the chip. For the chosen part, each memory avrdude names for it that can be
// read (flash, eeprom, usersig/userrow, bootrow, prodsig/sigrow): Read reads it in one run of the
// session (the run strip shows it, Stop ends it) into a hex view (address, 16 bytes, the same as
// text), laid over an image file on request (differing bytes marked, their ranges stepped through,
// bytes the file does not give shown pale); Go to an address (Ctrl+G).
#include "images/compare.h"
#include "window/controls.h"

#include <QAbstractTableModel>
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace session {
class ChipSession;
}

namespace window {

// A memory's bytes as rows of 16, and the same as text: a model over the buffer, so that 256 KB
// scroll as smoothly as 256 bytes.
class MemoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // What the chip holds; `editable` for a data memory (eeprom, usersig ...), typed over in hex.
    void setBytes(const QByteArray &bytes, bool editable = false);
    const QByteArray &bytes() const { return bytes_; }
    // Bytes typed over and not written yet.
    qint64 changed() const;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool undo();
    bool redo();
    // An image laid over the bytes (none: `image` empty).
    void setImage(const images::MemoryFile &image, const images::Comparison &comparison);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    static constexpr int kText = 16;  // the column of a row's bytes as text

signals:
    void edited();  // a byte typed over, undone or redone

private:
    void Put(qint64 at, char value);
    QByteArray bytes_, chip_;
    bool editable_ = false;
    struct Edit {
        qint64 at;
        char was, now;
        int step;  // the edits of one typing (a row's text) undo together
    };
    std::vector<Edit> edits_;
    std::size_t done_ = 0;  // the edits in force; those after were undone
    int steps_ = 0;
    images::MemoryFile image_;
    std::vector<bool> differs_;
};

class MemoryDialog : public QDialog {
    Q_OBJECT
public:
    MemoryDialog(const Controls &ui, session::ChipSession &session, QWidget *window);
    // The memories of the part now chosen.
    void showPart();
    MemoryModel *model() const { return model_; }
    // Selects the byte at `address` and brings it into view.
    void goTo(qint64 address);
    // What is shown, as an image file avrdude reads (`format`: i, s or r); false when it could not
    // be written (said in the dialog).
    bool saveAs(const QString &path, QChar format);
    // The next place after the caret that holds `what` (hex bytes "DE AD", or text; "quoted" is
    // always text), round the end; false when none does.
    bool find(const QString &what);

private:
    void read();
    void write();
    void compare();
    void step(int by);

    const Controls &ui_;
    session::ChipSession &session_;
    MemoryModel *model_;
    QComboBox *memory_;
    QPushButton *read_, *compare_, *previous_, *next_, *browse_, *save_, *write_;
    QComboBox *saveFormat_;
    QLineEdit *file_, *address_, *find_;
    QLabel *where_, *summary_;
    QTableView *view_;
    QString shown_;  // the memory the view holds
    images::Comparison comparison_;
    int range_ = -1;  // the difference range shown last
    bool mine_ = false;
    bool readBack_ = false;  // a write of ours succeeded: the memory is read again
};

}  // namespace window
