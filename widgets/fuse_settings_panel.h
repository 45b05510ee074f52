#pragma once
// The fuse settings in words, beside the byte editors: for the selected part, a section per byte it
// has, and in each every field of the part's device data: a drop-down of its settings, or for a
// one-bit field a check box ticked when the bit is programmed (0). It shows values it is given and
// says which value the user chose; it keeps no byte of its own beyond what it shows.
// For a part with fuses of its own (UPDI, TPI, XMEGA) the panel is their editor: a section per fuse
// memory, each with its value in hex, its fields in words, and its own Read and Write.
#include "fuses/device_meanings.h"
#include "fuses/part_fuses.h"

#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QHash>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace widgets {

class FuseSettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit FuseSettingsPanel(QWidget *parent);

    // Rebuilds the panel for a part (null: no data, one line says so); `device` names it.
    void setDevice(const fuses::MeaningDevice *meanings, const QString &device);
    // Rebuilds the panel as the editor of a part's own fuses, every value 0 until one is shown.
    void setOwnFuses(const fuses::OwnFuses &own, const QString &device);
    bool ownFuses() const { return own_.any(); }
    // A warning above the sections (the programmer cannot reach the part); empty: none.
    void setNotice(const QString &text);
    QString notice() const { return notice_->text(); }
    // Shows `value` for `byte`, emitting nothing.
    void setValue(fuses::FuseByte byte, unsigned value);
    // The byte's value drawn again (a device change) without taking it as known: a byte nobody has
    // read, typed or set to its default keeps saying that it is not read.
    void showValue(fuses::FuseByte byte, unsigned value);
    bool isKnown(fuses::FuseByte byte) const { return known_[fuses::Index(byte)]; }
    // Shows `value` for one of the part's own fuse memories, emitting nothing; from then on it is known.
    void setFuseValue(const QString &memory, quint32 value);
    // One of the part's own fuse memories was read, typed or set: until then it shows none of its
    // settings, only that it is not read.
    bool isKnown(const QString &memory) const;
    const fuses::MeaningDevice *meanings() const { return meanings_; }

    // The controls of a field, for tests and tools (null where the part has no such field).
    QComboBox *settingBox(fuses::FuseByte byte, const char *field) const;
    QCheckBox *bitBox(fuses::FuseByte byte, const char *field) const;
    // The same for a part's own fuse memory ("fuse5", "lock"), and its hex field.
    QComboBox *settingBox(const QString &memory, const char *field) const;
    QCheckBox *bitBox(const QString &memory, const char *field) const;
    // The words beside a one-bit field's tick ("programmed (0)"); null where there is none.
    QLabel *bitState(fuses::FuseByte byte, const char *field) const;
    QLineEdit *hexField(const QString &memory) const;
    QPushButton *defaultsButton() const { return defaults_; }

    // ---- Editing: what the chip holds, what is changed and not written, undo, one Write ----
    // What the chip holds as last read or written (avrdude's memory name: lfuse ... fuse5, lock).
    void setChipValue(const QString &memory, quint32 value);
    // The memories whose value differs from what the chip holds (or that the chip was never read
    // for), with their values as two hex digits a byte; in the part's order.
    QList<QPair<QString, QString>> changes() const;
    bool isChanged(const QString &memory) const;
    void undo();
    void redo();
    bool canUndo() const { return at_ > 0; }
    bool canRedo() const { return at_ + 1 < static_cast<int>(history_.size()); }
    // Every byte back to what the chip holds as last read (a byte never read goes back to not read).
    void backToRead();
    // The values now shown are where editing starts: no undo before them (a device change).
    void resetEdits();
    QPushButton *writeButton() const { return write_; }
    QPushButton *undoButton() const { return undo_; }
    QPushButton *redoButton() const { return redo_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void valueEdited(fuses::FuseByte byte, unsigned value);  // the user chose a setting
    void defaultsRequested();                                // "Factory Defaults" of a classic part
    void fuseReadRequested(const QString &memory);           // a section's Read
    void fuseWriteRequested(const QString &memory, const QString &hexValue);  // a section's Write
    // "Write Changes": every changed memory in one run, (memory, hex value) in the part's order.
    void changesWriteRequested(const QList<QPair<QString, QString>> &changes);

private:
    struct Control {
        std::optional<fuses::FuseByte> byte;  // a byte editor's byte, or
        int section = -1;                     // one of the part's own fuse memories
        const fuses::MeaningField *field;
        QComboBox *box = nullptr;
        QCheckBox *check = nullptr;
        QLabel *state = nullptr;  // beside a tick: the bit in words, "programmed (0)"
    };
    struct Section {
        const fuses::FuseSection *fuse;
        quint32 value = 0;
        QLineEdit *hex = nullptr;
        bool known = false;
        QLabel *unread = nullptr;    // "Not read: ..." until it is known
        QWidget *fields = nullptr;   // its settings, shown once it is known
        QLabel *boundary = nullptr;  // a flash section's boundary in bytes (BOOTEND, APPEND ...)
        QGroupBox *group = nullptr;
    };
    void Show(const Control &control);
    void Edited(const Control &control);
    unsigned &ValueOf(const Control &control);
    void AddFields(const fuses::MeaningRegister &reg, Control prototype, QWidget *section, QLayout *rows);
    void Replace(QWidget *content);
    void ShowSection(int index, bool withHex);
    bool onWhenSet() const { return meanings_ && meanings_->onWhenSet; }
    const Control *Find(const std::function<bool(const Control &)> &in, const char *field) const;
    bool InSection(const Control &control, const QString &memory) const;

    // A snapshot of every value and whether it is known, for undo.
    struct State {
        std::array<unsigned, fuses::kFuseByteCount> values{};
        std::array<bool, fuses::kFuseByteCount> known{};
        std::vector<std::pair<quint32, bool>> sections;
        bool operator==(const State &) const = default;
    };
    State Snapshot() const;
    void Restore(const State &state);
    void Changed();  // a value changed: recorded for undo (once per chain of changes), marks updated
    void Record();
    void MarkChanges();
    QString MemoryOf(fuses::FuseByte byte) const;

    QLabel *none_;
    QLabel *notice_;
    QPushButton *defaults_;
    QPushButton *write_ = nullptr, *undo_ = nullptr, *redo_ = nullptr, *back_ = nullptr;
    std::vector<State> history_;
    int at_ = -1;
    bool restoring_ = false;
    QTimer recordLater_;
    std::array<std::optional<unsigned>, fuses::kFuseByteCount> chip_{};  // what the chip holds, classic bytes
    QHash<QString, quint32> sectionChip_;                                 // and the part's own fuses
    std::array<QGroupBox *, fuses::kFuseByteCount> groups_{};
    QScrollArea *scroll_;
    QWidget *content_ = nullptr;
    const fuses::MeaningDevice *meanings_ = nullptr;
    std::vector<Control> controls_;
    std::array<unsigned, fuses::kFuseByteCount> values_{};
    // A classic byte's state: read, typed or set (known); until then its section shows `unread_`
    // instead of its fields, whose 00 would look like the chip's.
    std::array<bool, fuses::kFuseByteCount> known_{};
    std::array<QWidget *, fuses::kFuseByteCount> fields_{};
    std::array<QLabel *, fuses::kFuseByteCount> unread_{};
    void ShowKnown(fuses::FuseByte byte);
    fuses::OwnFuses own_;
    std::vector<Section> sections_;
    bool showing_ = false;  // controls set by code, not by the user
};

}  // namespace widgets
