// Settings persistence of the port: the groups of StoredProps, as INI strings or as values below a key
// of the user's settings of this program.

#include "serial/core/comport.h"

#include <QSettings>
#include <QString>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void TCustomComPort::WriteSettings(const std::function<void(const std::string&, const std::string&)>& text,
                                   const std::function<void(const std::string&, std::int64_t)>& integer) {
    if (storedProps_.Contains(spBasic)) {
        text("Port", port_);
        text("BaudRate", BaudRateToStr(baudRate_));
        if (baudRate_ == brCustom) integer("CustomBaudRate", customBaudRate_);
        text("StopBits", StopBitsToStr(stopBits_));
        text("DataBits", DataBitsToStr(dataBits_));
        text("Parity", ParityToStr(parity_->Bits()));
        text("FlowControl", FlowControlToStr(flowControl_->FlowControl()));
    }
    if (storedProps_.Contains(spOthers)) {
        text("EventChar", CharToStr(eventChar_));
        text("DiscardNull", BoolToStr(discardNull_));
    }
    if (storedProps_.Contains(spParity)) {
        text("Parity.Check", BoolToStr(parity_->Check()));
        text("Parity.Replace", BoolToStr(parity_->Replace()));
        text("Parity.ReplaceChar", CharToStr(parity_->ReplaceChar()));
    }
    if (storedProps_.Contains(spBuffer)) {
        integer("Buffer.OutputSize", buffer_->OutputSize());
        integer("Buffer.InputSize", buffer_->InputSize());
    }
    if (storedProps_.Contains(spTimeouts)) {
        integer("Timeouts.ReadInterval", timeouts_->ReadInterval());
        integer("Timeouts.ReadTotalConstant", timeouts_->ReadTotalConstant());
        integer("Timeouts.ReadTotalMultiplier", timeouts_->ReadTotalMultiplier());
        integer("Timeouts.WriteTotalConstant", timeouts_->WriteTotalConstant());
        integer("Timeouts.WriteTotalMultiplier", timeouts_->WriteTotalMultiplier());
    }
    if (storedProps_.Contains(spFlowControl)) {
        const TComFlowControl& f = *flowControl_;
        text("FlowControl.ControlRTS", RTSToStr(f.ControlRTS()));
        text("FlowControl.ControlDTR", DTRToStr(f.ControlDTR()));
        text("FlowControl.DSRSensitivity", BoolToStr(f.DSRSensitivity()));
        text("FlowControl.OutCTSFlow", BoolToStr(f.OutCTSFlow()));
        text("FlowControl.OutDSRFlow", BoolToStr(f.OutDSRFlow()));
        text("FlowControl.TxContinueOnXoff", BoolToStr(f.TxContinueOnXoff()));
        text("FlowControl.XonXoffIn", BoolToStr(f.XonXoffIn()));
        text("FlowControl.XonXoffOut", BoolToStr(f.XonXoffOut()));
        text("FlowControl.XoffChar", CharToStr(f.XoffChar()));
        text("FlowControl.XonChar", CharToStr(f.XonChar()));
    }
}

void TCustomComPort::ReadSettings(
    const std::function<std::string(const std::string&, const std::string&)>& text,
    const std::function<std::int64_t(const std::string&, std::int64_t)>& integer) {
    if (storedProps_.Contains(spBasic)) {
        SetPort(text("Port", port_));
        SetBaudRate(StrToBaudRate(text("BaudRate", BaudRateToStr(baudRate_))));
        if (baudRate_ == brCustom)
            SetCustomBaudRate(static_cast<std::uint32_t>(integer("CustomBaudRate", 9600)));
        SetStopBits(StrToStopBits(text("StopBits", StopBitsToStr(stopBits_))));
        SetDataBits(StrToDataBits(text("DataBits", DataBitsToStr(dataBits_))));
        parity_->SetBits(StrToParity(text("Parity", ParityToStr(parity_->Bits()))));
        flowControl_->SetFlowControl(
            StrToFlowControl(text("FlowControl", FlowControlToStr(flowControl_->FlowControl()))));
    }
    if (storedProps_.Contains(spOthers)) {
        SetEventChar(StrToChar(text("EventChar", CharToStr(eventChar_))));
        SetDiscardNull(StrToBool(text("DiscardNull", BoolToStr(discardNull_))));
    }
    if (storedProps_.Contains(spParity)) {
        parity_->SetCheck(StrToBool(text("Parity.Check", BoolToStr(parity_->Check()))));
        parity_->SetReplace(StrToBool(text("Parity.Replace", BoolToStr(parity_->Replace()))));
        parity_->SetReplaceChar(StrToChar(text("Parity.ReplaceChar", CharToStr(parity_->ReplaceChar()))));
    }
    if (storedProps_.Contains(spBuffer)) {
        buffer_->SetOutputSize(
            static_cast<std::int32_t>(integer("Buffer.OutputSize", buffer_->OutputSize())));
        buffer_->SetInputSize(static_cast<std::int32_t>(integer("Buffer.InputSize", buffer_->InputSize())));
    }
    if (storedProps_.Contains(spTimeouts)) {
        TComTimeouts& t = *timeouts_;
        t.SetReadInterval(static_cast<std::int32_t>(integer("Timeouts.ReadInterval", t.ReadInterval())));
        t.SetReadTotalConstant(
            static_cast<std::int32_t>(integer("Timeouts.ReadTotalConstant", t.ReadTotalConstant())));
        t.SetReadTotalMultiplier(
            static_cast<std::int32_t>(integer("Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier())));
        t.SetWriteTotalConstant(
            static_cast<std::int32_t>(integer("Timeouts.WriteTotalConstant", t.WriteTotalConstant())));
        t.SetWriteTotalMultiplier(
            static_cast<std::int32_t>(integer("Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier())));
    }
    if (storedProps_.Contains(spFlowControl)) {
        TComFlowControl& f = *flowControl_;
        f.SetControlRTS(StrToRTS(text("FlowControl.ControlRTS", RTSToStr(f.ControlRTS()))));
        f.SetControlDTR(StrToDTR(text("FlowControl.ControlDTR", DTRToStr(f.ControlDTR()))));
        f.SetDSRSensitivity(StrToBool(text("FlowControl.DSRSensitivity", BoolToStr(f.DSRSensitivity()))));
        f.SetOutCTSFlow(StrToBool(text("FlowControl.OutCTSFlow", BoolToStr(f.OutCTSFlow()))));
        f.SetOutDSRFlow(StrToBool(text("FlowControl.OutDSRFlow", BoolToStr(f.OutDSRFlow()))));
        f.SetTxContinueOnXoff(
            StrToBool(text("FlowControl.TxContinueOnXoff", BoolToStr(f.TxContinueOnXoff()))));
        f.SetXonXoffIn(StrToBool(text("FlowControl.XonXoffIn", BoolToStr(f.XonXoffIn()))));
        f.SetXonXoffOut(StrToBool(text("FlowControl.XonXoffOut", BoolToStr(f.XonXoffOut()))));
        f.SetXoffChar(StrToChar(text("FlowControl.XoffChar", CharToStr(f.XoffChar()))));
        f.SetXonChar(StrToChar(text("FlowControl.XonChar", CharToStr(f.XonChar()))));
    }
}

void TCustomComPort::SaveToIniFile(const std::string& fileName) {
    QSettings ini(Q(fileName), QSettings::IniFormat);
    ini.beginGroup(Q(name_));
    WriteSettings([&](const std::string& k, const std::string& v) { ini.setValue(Q(k), Q(v)); },
                  [&](const std::string& k, std::int64_t v) { ini.setValue(Q(k), Q(std::to_string(v))); });
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError) ReportError(peStoreSettings, -1);
}

void TCustomComPort::LoadFromIniFile(const std::string& fileName) {
    QSettings ini(Q(fileName), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) return ReportError(peLoadSettings, -1);
    ReadFrom(ini, name_);
}

void TCustomComPort::SaveToRegistry(const std::string& key) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mevrant", "Mevrant");
    store.beginGroup(Q(key));
    WriteSettings([&](const std::string& k, const std::string& v) { store.setValue(Q(k), Q(v)); },
                  [&](const std::string& k, std::int64_t v) { store.setValue(Q(k), qlonglong(v)); });
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError) ReportError(peRegistry, -1);
}

void TCustomComPort::LoadFromRegistry(const std::string& key) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mevrant", "Mevrant");
    if (store.status() != QSettings::NoError) return ReportError(peRegistry, -1);
    ReadFrom(store, key);
}

void TCustomComPort::ReadFrom(QSettings& store, const std::string& group) {
    store.beginGroup(Q(group));
    ReadSettings([&](const std::string& k,
                     const std::string& def) { return store.value(Q(k), Q(def)).toString().toStdString(); },
                 [&](const std::string& k, std::int64_t def) {
                     bool ok = false;
                     const qlonglong v = store.value(Q(k), qlonglong(def)).toLongLong(&ok);
                     return ok ? std::int64_t(v) : def;
                 });
}
