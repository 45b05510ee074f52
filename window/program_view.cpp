#include "window/program_view.h"

#include "compose/vocabulary.h"
#include "fuses/fuse_bytes.h"
#include "production/production_log.h"
#include "session/chip_session.h"
#include "settings/settings.h"
#include "window/messages.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace window {
ProgramDialog::ProgramDialog(const Controls &ui, session::ChipSession &session, QWidget *window)
    : QDialog(window), ui_(ui), session_(session), file_(Named(new QLineEdit(this), QStringLiteral("ProgramFile"))),
      log_(Named(new QLineEdit(this), QStringLiteral("ProgramLog"))),
      serialAddress_(Named(new QLineEdit(this), QStringLiteral("SerialAddress"))),
      serialNext_(Named(new QLineEdit(this), QStringLiteral("SerialNext"))),
      serialOn_(Named(new QCheckBox(QStringLiteral("Serial number in EEPROM at"), this), QStringLiteral("SerialOn"))),
      values_(Named(new QLabel(this), QStringLiteral("ProgramValues"))), count_(Named(new QLabel(this), QStringLiteral("ProgramCount"))),
      target_(Named(new QLabel(this), QStringLiteral("ProgramTarget"))),
      program_(Named(new QPushButton(QStringLiteral("Program Chip"), this), QStringLiteral("ProgramChipButton"))),
      verify_(Named(new QPushButton(QStringLiteral("Verify Chip"), this), QStringLiteral("VerifyChipButton"))),
      switch_(Named(new QPushButton(this), QStringLiteral("ProgramSwitch"))),
      close_(Named(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("ProgramClose")))
{
    setObjectName(QStringLiteral("ProgramDialog"));
    setWindowTitle(QStringLiteral("Program Chip"));
    auto *grid = new QGridLayout(this);
    auto *browseFile = new QPushButton(QStringLiteral("..."), this), *browseLog = new QPushButton(QStringLiteral("..."), this);
    grid->addWidget(new QLabel(QStringLiteral("ELF file:"), this), 0, 0);
    grid->addWidget(file_, 0, 1, 1, 3);
    grid->addWidget(browseFile, 0, 4);
    values_->setWordWrap(true);
    auto *said = new QHBoxLayout;
    said->addWidget(values_, 1);
    said->addWidget(switch_, 0, Qt::AlignTop);
    switch_->hide();
    grid->addLayout(said, 1, 0, 1, 5);
    grid->addWidget(serialOn_, 2, 0, 1, 2);
    grid->addWidget(serialAddress_, 2, 2);
    auto *next = new QHBoxLayout;
    next->addWidget(new QLabel(QStringLiteral("next:"), this));
    next->addWidget(serialNext_);
    grid->addLayout(next, 2, 3, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Log file (CSV):"), this), 3, 0);
    grid->addWidget(log_, 3, 1, 1, 3);
    grid->addWidget(browseLog, 3, 4);
    target_->setWordWrap(true);
    grid->addWidget(target_, 4, 0, 1, 5);
    grid->addWidget(count_, 5, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(verify_);
    buttons->addWidget(program_);
    buttons->addWidget(close_);
    grid->addLayout(buttons, 5, 2, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetMinimumSize);  // every text whole, however long
    // No button is the default: Return in a field (the file's name) must not erase and program a chip.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    serialAddress_->setPlaceholderText(QStringLiteral("0x10"));
    serialAddress_->setToolTip(QStringLiteral("The EEPROM address of the serial number: four bytes, the least significant first"));
    serialNext_->setToolTip(QStringLiteral("The serial number of the next good board; one more after each"));
    log_->setToolTip(QStringLiteral("One line per board: time, part, signature, serial, result, the failing step, avrdude's first error"));
    program_->setToolTip(QStringLiteral("Check the chip's signature, then erase and write flash, EEPROM, the serial number, "
                                        "the fuses and the lock, each verified (after a board, Space programs the next)"));
    verify_->setToolTip(QStringLiteral("Compare the chip with the file, memory by memory; nothing is written"));
    count_->setText(QStringLiteral("Boards done: 0, failed: 0"));
    resize(560, sizeHint().height());

    connect(browseFile, &QPushButton::clicked, this,
            [this] { browse(file_, QStringLiteral("ELF files (*.elf);;All files (*)"), false); });
    connect(browseLog, &QPushButton::clicked, this, [this] { browse(log_, QStringLiteral("CSV files (*.csv);;All files (*)"), true); });
    connect(file_, &QLineEdit::editingFinished, this, &ProgramDialog::showFile);
    connect(program_, &QPushButton::clicked, this, [this] { start(false); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    // A file built for another part: the window switches to that part, and the file is shown again.
    connect(switch_, &QPushButton::clicked, this, [this] {
        ui_.deviceBox->setEditText(switch_->property("part").toString());
        showFile();
    });
    connect(verify_, &QPushButton::clicked, this, [this] { start(true); });
    connect(&session_, &session::ChipSession::programmed, this, &ProgramDialog::finished);
    connect(&session_, &session::ChipSession::runStateChanged, this, [this](bool running) {
        program_->setEnabled(!running);
        verify_->setEnabled(!running);
        if (!running)
            program_->setFocus();  // Enter again for the next board
    });
    connect(&session_, &session::ChipSession::finished, this, [this] { mine_ = false; });
}

void ProgramDialog::load(const settings::Saved &saved)
{
    file_->setText(saved.programFile);
    log_->setText(saved.programLog);
    serialOn_->setChecked(!saved.serialAddress.isEmpty());
    serialAddress_->setText(saved.serialAddress);
    serialNext_->setText(saved.serialNext.isEmpty() ? QStringLiteral("1") : saved.serialNext);
}

void ProgramDialog::store(settings::Saved &saved) const
{
    saved.programFile = file_->text();
    saved.programLog = log_->text();
    saved.serialAddress = serialOn_->isChecked() ? serialAddress_->text() : QString();
    saved.serialNext = serialOn_->isChecked() || !saved.serialNext.isEmpty() ? serialNext_->text() : QString();
}

void ProgramDialog::browse(QLineEdit *field, const QString &filter, bool save)
{
    const QString dir = field->text().isEmpty() ? QString() : QFileInfo(field->text()).absolutePath();
    const QString chosen = save ? QFileDialog::getSaveFileName(this, QStringLiteral("Log file"), dir, filter, nullptr,
                                                               QFileDialog::DontConfirmOverwrite)
                                : QFileDialog::getOpenFileName(this, QStringLiteral("ELF file"), dir, filter);
    if (chosen.isEmpty())
        return;
    field->setText(chosen);
    if (field == file_)
        showFile();
}

std::optional<production::ProgramPlan> ProgramDialog::plan(bool verify)
{
    production::ProgramRequest request;
    request.elf = file_->text();
    request.target = Snapshot(ui_);
    if (request.elf.isEmpty()) {
        // No ELF file: the window's flash and EEPROM files, and the byte editors' values that were
        // read, typed or set (an unread 00 is never written).
        request.flash = {ui_.flashFile->text(), compose::LookupFormatLetter(ui_.flashFormat->currentText()).front()};
        if (!ui_.eepromFile->text().isEmpty())
            request.eeprom = {ui_.eepromFile->text(), compose::LookupFormatLetter(ui_.eepromFormat->currentText()).front()};
        for (const fuses::FuseByteRow &row : fuses::FuseByteTable) {
            const widgets::ByteEditor *editor = ui_.byteEditor(row.byte);
            if (editor->isEnabled() && ui_.fuseSettings->isKnown(row.byte))
                request.values.push_back({QString::fromLatin1(row.memory), QByteArray(1, static_cast<char>(editor->value())), {}});
        }
        // The lock last: written first, it would refuse the fuses.
        std::ranges::stable_partition(request.values, [](const production::FuseValue &v) { return v.memory != QLatin1String("lock"); });
    }
    request.verifyOnly = verify;
    if (!verify && serialOn_->isChecked()) {
        const std::optional<std::uint32_t> address = production::ParseAddress(serialAddress_->text()), serial = production::ParseSerial(serialNext_->text());
        if (!address || !serial) {
            values_->setText(QStringLiteral("The serial number's address and next number must be numbers (0x10, 1001)."));
            return std::nullopt;
        }
        request.serialFile = temp_.filePath(QStringLiteral("serial.hex"));
        QFile file(request.serialFile);
        if (!temp_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(production::SerialHex(*address, *serial)) < 0) {
            values_->setText(QStringLiteral("The serial number's file cannot be made in %1.").arg(temp_.path()));
            return std::nullopt;
        }
        request.serialAt = address;
        serialWritten_ = QString::number(*serial);
    } else {
        serialWritten_.clear();
    }
    production::ProgramPlan p = production::PlanProgram(request, session_.words());
    switch_->setVisible(!p.builtFor.isEmpty());
    switch_->setText(QStringLiteral("Switch to %1").arg(p.builtFor));
    switch_->setProperty("part", p.builtFor);
    if (!p.refusal.isEmpty()) {
        values_->setText(QStringLiteral("Nothing can run: %1.").arg(p.refusal));
        return std::nullopt;
    }
    return p;
}

void ProgramDialog::showFile()
{
    const compose::FormState target = Snapshot(ui_);
    target_->setText(QStringLiteral("With the window's programmer %1%2, for every board.")
                         .arg(target.programmer.isEmpty() ? QStringLiteral("(none chosen)") : target.programmer,
                              target.port.isEmpty() ? QString() : QStringLiteral(" on port %1").arg(target.port)));
    if (file_->text().isEmpty()) {
        switch_->hide();
        values_->setText(QStringLiteral("Without an ELF file: the flash and EEPROM files of the window, and the fuse and "
                                        "lock values read, typed or set in the byte editors."));
        return;
    }
    const std::optional<production::ProgramPlan> p = plan(true);
    if (!p)
        return;
    // The file's values go to the editors and the panel, where the gate's questions refer to them.
    QStringList shown;
    for (const production::FuseValue &v : p->values) {
        std::uint32_t value = 0;
        for (qsizetype i = 0; i < v.bytes.size(); ++i)
            value |= static_cast<std::uint32_t>(static_cast<quint8>(v.bytes[i])) << (8 * i);
        shown << QStringLiteral("%1 %2").arg(v.memory, QString::number(value, 16).toUpper().rightJustified(2 * v.bytes.size(), u'0'));
        const auto row = std::ranges::find_if(fuses::FuseByteTable, [&](const auto &r) { return v.memory == QLatin1String(r.memory); });
        if (row != std::end(fuses::FuseByteTable) && ui_.byteEditor(row->byte)->isEnabled()) {
            ui_.byteEditor(row->byte)->setValue(value);
            ui_.fuseSettings->setValue(row->byte, value);  // the file's, even where it was 00
        }
        else
            ui_.fuseSettings->setFuseValue(v.memory, value);
    }
    values_->setText(QStringLiteral("For the %1 (signature %2): %3.")
                         .arg(p->part, p->signature, shown.isEmpty() ? QStringLiteral("no fuse or lock values") : shown.join(QStringLiteral(", "))));
}

void ProgramDialog::start(bool verify)
{
    if (session_.running())
        return;
    showFile();
    const std::optional<production::ProgramPlan> p = plan(verify);
    if (!p)
        return;
    mine_ = session_.programChip(p->signatureLine, p->line, p->signature, verify);
}

void ProgramDialog::finished(const session::ProgramResult &result)
{
    if (!mine_)
        return;
    if (result.verify) {
        values_->setText(result.ok ? QStringLiteral("The chip matches %1.").arg(QFileInfo(file_->text()).fileName())
                         : !result.difference.isEmpty() ? QStringLiteral("The chip differs: %1.").arg(result.difference)
                                                        : QStringLiteral("Verify Chip failed: %1").arg(result.firstError));
        return;
    }
    (result.ok ? done_ : failed_)++;
    count_->setText(QStringLiteral("Boards done: %1, failed: %2").arg(done_).arg(failed_));
    if (result.ok && !serialWritten_.isEmpty())
        serialNext_->setText(QString::number(serialWritten_.toULongLong() + 1));
    if (!log_->text().isEmpty()) {
        production::LogEntry entry;
        const QDateTime now = QDateTime::currentDateTime();
        entry.time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
        entry.part = session_.form().device;
        entry.signature = result.signature;
        entry.serial = serialWritten_;
        entry.result = result.ok ? QStringLiteral("ok") : result.wrongChip ? QStringLiteral("wrong chip") : result.stopped ? QStringLiteral("stopped") : QStringLiteral("failed");
        entry.step = result.failedStep;
        entry.error = result.firstError;
        if (QString error; !production::AppendLog(log_->text(), entry, &error))
            ShowMessage(this, MessageKind::Warning, error);
    }
    emit boardDone();
}

}  // namespace window
