#include "serial/com_combo_box.h"

#include "serial/core/comerror.h"
#include "serial/core/comport.h"
#include "serial/host/port_list.h"

#include <QLineEdit>

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
    SetStyle(csDropDownList);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this](int index) { UserChose(itemText(index)); });
}

TComComboBox::~TComComboBox() {
    if (select_.ComPort()) select_.ComPort()->RemoveFreeNotification(this);
}

void TComComboBox::SetStyle(TComboStyle v) {
    if (v == Style() && (v == csDropDownList || lineEdit())) return;
    const QString current = currentText();
    setEditable(v == csDropDown);
    if (QLineEdit* edit = lineEdit()) {
        setEditText(current);
        // A typed name counts when the user confirms it.
        connect(edit, &QLineEdit::editingFinished, this, [this] {
            if (!filling_ && lineEdit() && lineEdit()->isModified()) {
                lineEdit()->setModified(false);
                UserChose(lineEdit()->text());
            }
        });
    }
}

void TComComboBox::Fill(const std::vector<std::string>& items) {
    filling_ = true;
    const QString current = currentText(); // a refill keeps what is shown
    clear();
    for (const std::string& s : items)
        addItem(QString::fromStdString(s));
    setCurrentIndex(current.isEmpty() ? -1 : findText(current, Qt::MatchFixedString));
    if (isEditable()) setEditText(current);
    filling_ = false;
}

void TComComboBox::RefreshItems() {
    Fill(select_.Items());
}

void TComComboBox::SetComProperty(TComProperty v) {
    select_.SetComProperty(v);
    if (v == cpPort) SetStyle(csDropDown);
    Fill(select_.Items());
    if (count() == 0) return;
    if (select_.ComPort())
        SyncToPort();
    else
        setCurrentIndex(0);
    ChoosePreferredPort();
}

void TComComboBox::SetComPort(TCustomComPort* port) {
    if (port == select_.ComPort()) return;
    if (select_.ComPort()) select_.ComPort()->RemoveFreeNotification(this);
    select_.SetComPort(port);
    if (!port) return;
    port->FreeNotification(this, [this] { PortDestroyed(); });
    SyncToPort();
    ChoosePreferredPort();
}

void TComComboBox::SetAutoApply(bool v) {
    select_.SetAutoApply(v);
    ChoosePreferredPort();
}

void TComComboBox::PortDestroyed() {
    select_.SetComPort(nullptr);
    if (count() > 0) setCurrentIndex(0);
}

void TComComboBox::SyncToPort() {
    std::vector<std::string> items;
    for (int i = 0; i < count(); ++i)
        items.push_back(itemText(i).toStdString());
    const int index = select_.IndexOfPortValue(items);
    setCurrentIndex(index);
    if (index < 0 && isEditable()) setEditText(QString::fromStdString(select_.PortValueText()));
}

void TComComboBox::ChoosePreferredPort() {
    TCustomComPort* port = select_.ComPort();
    if (select_.ComProperty() != cpPort || !select_.AutoApply() || !port || port->Connected()) return;
    std::vector<std::string> items;
    for (int i = 0; i < count(); ++i)
        items.push_back(itemText(i).toStdString());
    if (select_.IndexOfPortValue(items) >= 0) return; // the configured port is there
    const std::string preferred = host::PreferredPortName(items);
    if (preferred.empty()) return;
    setCurrentIndex(IndexOfText(items, preferred));
    UserChose(QString::fromStdString(preferred));
}

std::string TComComboBox::Text() const {
    if (isEditable()) return currentText().toStdString();
    return currentIndex() < 0 ? std::string() : itemText(currentIndex()).toStdString();
}

void TComComboBox::SetText(const std::string& text) {
    std::vector<std::string> items;
    for (int i = 0; i < count(); ++i)
        items.push_back(itemText(i).toStdString());
    const int index = IndexOfText(items, text);
    if (index >= 0) setCurrentIndex(index);
}

void TComComboBox::showPopup() {
    if (select_.ComProperty() == cpPort) RefreshItems();
    QComboBox::showPopup();
}

void TComComboBox::UserChose(const QString& text) {
    // Errors of the port (an open port that cannot take the value) go to the error display; the
    // selection stays on the new item and OnChange does not fire.
    try {
        select_.Choose(text.toStdString());
    } catch (...) {
        ShowException(std::current_exception());
        return;
    }
    if (OnChange) OnChange(*this);
}
