#pragma once
// The fuse settings in words, beside the byte editors: for the selected part, a section per byte it
// has, and in each every field of the part's device data: a drop-down of its settings, or for a
// one-bit field a check box ticked when the bit is programmed (0). It shows values it is given and
// says which value the user chose; it keeps no byte of its own beyond what it shows.
#include "fuses/device_meanings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <vector>

namespace widgets {

class FuseSettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit FuseSettingsPanel(QWidget *parent);

    // Rebuilds the panel for a part (null: no data, one line says so); `device` names it.
    void setDevice(const fuses::MeaningDevice *meanings, const QString &device);
    // Shows `value` for `byte`, emitting nothing.
    void setValue(fuses::FuseByte byte, unsigned value);
    const fuses::MeaningDevice *meanings() const { return meanings_; }

    // The controls of a field, for tests and tools (null where the part has no such field).
    QComboBox *settingBox(fuses::FuseByte byte, const char *field) const;
    QCheckBox *bitBox(fuses::FuseByte byte, const char *field) const;
    QPushButton *defaultsButton() const { return defaults_; }

signals:
    void valueEdited(fuses::FuseByte byte, unsigned value);  // the user chose a setting
    void defaultsRequested();                                // "Factory Defaults"

private:
    struct Control {
        fuses::FuseByte byte;
        const fuses::MeaningField *field;
        QComboBox *box = nullptr;
        QCheckBox *check = nullptr;
    };
    void Show(const Control &control);
    void Edited(const Control &control);

    QLabel *none_;
    QPushButton *defaults_;
    QScrollArea *scroll_;
    QWidget *content_ = nullptr;
    const fuses::MeaningDevice *meanings_ = nullptr;
    std::vector<Control> controls_;
    std::array<unsigned, fuses::kFuseByteCount> values_{};
    bool showing_ = false;  // controls set by code, not by the user
};

}  // namespace widgets
