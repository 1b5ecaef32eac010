#pragma once
// The main window: port and graph parameters on the left, raw-data pane, value display and chart on the
// right. Its handlers tie the port's received characters to the chart.

#include "app/channel_dialog.h"
#include "app/core/acquisition.h"
#include "app/core/conversions.h"
#include "app/core/journal.h"
#include "app/core/source_url.h"
#include "app/main_chart.h"
#include "app/recording.h"
#include "app/serial_source.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QSettings;
class QTimer;
class QToolButton;
class QAction;
class TComComboBox;
class TComLed;
class TChannelLegend;
class TComPort;
class TFormInfo;
class TKartex;
class TRawPane;
class TSendBar;
class KartexSink;
class ForwardingSet;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, named as the window's designer named them.
    QFrame* Panel1 = nullptr;
    QToolButton* StartButton = nullptr;
    QToolButton* StopButton = nullptr;
    QToolButton* ClearGraphButton = nullptr;
    QToolButton* ResetAxisButton = nullptr;
    QLabel* Label13 = nullptr;
    TComLed* ComLed1 = nullptr;
    QLabel* Label11 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    TComComboBox* ComComboBox3 = nullptr; // port
    TComComboBox* ComComboBox1 = nullptr; // baud rate
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* DatSkaleEdit = nullptr;
    QLineEdit* DatOffsetEdit = nullptr;
    QLineEdit* GraphXmaxEdit = nullptr;
    QLineEdit* GraphYmaxEdit = nullptr;
    QLineEdit* GraphYminEdit = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label10 = nullptr; // the value display
    QCheckBox* GridCheckBox1 = nullptr;
    QCheckBox* DoubleTicsCheckBox = nullptr;
    QCheckBox* LogCheckBox = nullptr;
    QRadioButton* NormalRadioButton = nullptr;
    QRadioButton* ZoomRadioButton = nullptr;
    QCheckBox* FollowCheckBox = nullptr;   // "Mitlaufen": the x range follows the newest sample
    QCheckBox* YAutoCheckBox = nullptr;    // "Y auto": the y range spans the samples in view
    QComboBox* XAxisComboBox = nullptr;    // x as the sample number or as the receive time in seconds
    QLabel* CountStatusLabel = nullptr;    // status bar: samples in the chart
    QLabel* NoSampleStatusLabel = nullptr; // received lines that gave no sample
    QLabel* ViewStatusLabel = nullptr;     // min, max and mean of the samples in view
    QLabel* JournalStatusLabel = nullptr;  // where the run is kept, or why it is not
    QLabel* PortStatusLabel = nullptr;     // waiting for the device, or how often it went away
    TRawPane* RichEdit1 = nullptr;
    TKartex* Kartex1 = nullptr;
    TChannelLegend* Legend = nullptr; // in the chart's corner when it holds several channels
    TFormInfo* FormInfo = nullptr;
    QAction* GrafikSpeichernBMP = nullptr;
    QAction* GrafikSpeichernPNG = nullptr;
    QAction* DatenExportierenCSV = nullptr;
    QAction* ErfassungSpeichern = nullptr;
    QAction* Erfassungladen = nullptr;
    QMenu* LetzteErfassungen = nullptr; // the runs the journal keeps
    QAction* Einstellungen1 = nullptr;
    QAction* Info1 = nullptr;
    QAction* Kanaele1 = nullptr;          // "Kanäle …": the channel table
    QAction* Senden1 = nullptr;           // "Senden": shows the bar for talking to the device
    QAction* MarkeSetzen = nullptr;       // Ctrl+M
    QAction* Quellen1 = nullptr;          // "Quellen …": network sources read beside the serial port
    QLabel* SourcesStatusLabel = nullptr; // where the further sources listen or read, and their state
    QAction* Weiterleiten1 = nullptr;     // "Weiterleiten …": brokers and databases every sample goes to
    QLabel* ForwardStatusLabel = nullptr; // each forwarder's state and how far it is behind
    QList<QAction*> LanguageActions;      // "Sprache / Language": Deutsch, English
    TSendBar* SendBar = nullptr;

    TComPort& ComPort1() { return *port_; }
    Acquisition& Acq() { return recording_->Acq(); }
    const Acquisition& Acq() const { return recording_->Acq(); }
    bool Acquiring() const { return recording_->Running(); }
    // The device went away during the acquisition, which goes on once the same device is back (polled
    // every kReconnectMs): the same /dev/serial/by-id name when it had one, else the same path.
    bool WaitingForDevice() const { return recording_->Waiting(); }
    static constexpr int kReconnectMs = Recording::kReconnectMs;

    // The decimal separator of the user's locale; fields and the value display use it.
    const LocaleSeparator& DecimalSeparator() const { return decimalSeparator_; }
    void SetDecimalSeparator(LocaleSeparator s) { decimalSeparator_ = std::move(s); }

    // The file dialogs; tests replace them. Arguments: save (true) or open, the filter, the default
    // suffix. Returns the chosen file name or an empty string when cancelled.
    using FileDialogFn = std::function<QString(bool save, const QString& filter, const QString& suffix)>;
    void SetFileDialog(FileDialogFn fn) { fileDialog_ = std::move(fn); }

    // Selects a port by device name or path in the port list and on the port.
    void SelectPort(const QString& name);
    void SelectBaudRate(const QString& text);

    // Takes the user's settings from the store, and writes them back there when the window closes or
    // the program ends: port, baud rate, the fields, the check boxes and choices, the window's place and
    // the last folder of each file dialog. A remembered port whose device is gone is not selected.
    // Without `port` the port and baud rate are taken but not written back (the simulated device's
    // terminal is gone when the program ends).
    void RememberSettings(std::unique_ptr<QSettings> settings, bool port = true);
    void SaveSettings();

    // Keeps every run from its first sample in the journal folder, and keeps the folder within the
    // remembered limits (20 runs, 5 GB; saved runs go first, unsaved ones never). A run that did not end
    // properly is offered to be opened.
    void KeepJournal(const std::string& folder);
    const Journal& RunJournal() const { return recording_->RunJournal(); }
    // The question at start-up; tests answer it. Returns true for yes.
    using AskFn = std::function<bool(const QString& question)>;
    void SetAsk(AskFn fn) { ask_ = std::move(fn); }
    void OpenJournalRun(const QString& path);

    // Handlers.
    void FormShow();
    void StartButtonClick();
    void StopButtonClick();
    void ClearGraphButtonClick();
    void ResetAxisButtonClick();
    void GridCheckBox1Click();
    void DoubleTicsCheckBoxClick();
    void LogCheckBoxClick();
    void NormalRadioButtonClick();
    void ZoomRadioButtonClick();
    void FollowCheckBoxClick();
    void YAutoCheckBoxClick();
    void XAxisComboBoxChange();
    void GrafikSpeichernBMPClick();
    void GrafikSpeichernPNGClick();
    void DatenExportierenCSVClick();
    void ErfassungSpeichernClick();
    void ErfassungladenClick();
    void Einstellungen1Click();
    void Info1Click();
    // Opens the channel table (window-modal); "OK" applies it (ApplyChannelSettings).
    void KanaeleClick();
    // The send bar: the command now, or with "Wiederholen alle" checked as a polled query (also from
    // Start on while it stays checked); "Marke setzen" asks for a text (MarkText) and marks the moment
    // it was asked at. Commands and marks become the chart's marks and a "» …" line in the pane.
    void SendClick();
    // Shows the send bar with a polled query that begins with the next Start (the demo's asking device).
    void PollFromStart(const QString& command, int ms);
    void RepeatClick(bool on);
    void MarkeSetzenClick();
    void Senden1Click();
    // The text of a mark (a dialog by default); tests put their own here. nullopt: cancelled.
    using MarkTextFn = std::function<std::optional<QString>()>;
    void SetMarkText(MarkTextFn fn) { markText_ = std::move(fn); }
    // Each channel's name, unit, factor, offset, colour, shown and axis, from now on: channel 1's factor
    // and offset are the fields' (taken at Start), the others apply to the next sample. Every number is
    // checked first: a bad one (EConvertError) changes nothing. Remembered for the device of the run.
    void ApplyChannelSettings(const std::vector<ChannelSetting>& rows);
    const std::vector<ChannelSetting>& ChannelSettings() const { return channels_; }

    // Forwarding: the targets (URLs without passwords) and the device name every run from the next
    // Start on goes to, remembered. A target's password or token comes from the desktop's secret
    // store, else it is asked for (AskSecret) at Start and kept in memory for the session (and in the
    // store once the target took it, where one runs).
    void WeiterleitenClick();
    // Further sources: UDP listeners, TCP servers, broker topics (URLs), read beside the serial port in
    // every run from the next Start on, their channels numbered after the port's as they first show and
    // named "source/channel"; remembered. A broker's password is asked for as a target's is.
    void QuellenClick();
    void SetSources(const QStringList& urls, bool remember = true);
    const QStringList& Sources() const { return sourceUrls_; }
    using SourceDialogFn = std::function<void(class SourceDialog&)>;
    void SetSourceDialog(SourceDialogFn fn) { sourceDialog_ = std::move(fn); } // tests drive it
    void SetForwardTargets(const QStringList& urls, const QString& device);
    const QStringList& ForwardUrls() const { return forwardUrls_; }
    const QString& ForwardDevice() const { return forwardDevice_; }
    using AskSecretFn = std::function<std::optional<QString>(const QString& prompt)>;
    void SetAskSecret(AskSecretFn fn) { askSecret_ = std::move(fn); }
    using ForwardDialogFn = std::function<void(class ForwardDialog&)>;
    void SetForwardDialog(ForwardDialogFn fn) { forwardDialog_ = std::move(fn); } // tests drive it
    void UpdateForwardStatus();

    // The window's language, "de" (the default) or "en": switched at once, Qt's own texts with it, and
    // remembered unless told otherwise.
    void SetLanguage(const QString& code, bool remember = true);
    const QString& Language() const { return language_; }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Says a caption (a source text, German) in the chosen language now and whenever it changes;
    // a null text: set calls tr() itself.
    void Say(const char* text, std::function<void(const QString&)> set);
    // A label whose text is made anew when the language changes.
    void SayLive(QLabel* label, std::function<QString()> text);
    void Retranslate();
    void LayOut(); // pane, chart and send bar to the window's size
    void EnableSending(bool running);
    int S(int designPixels) const;
    void BuildControls();
    void SetupChart();
    void SetupPort();
    void SetParameterGroupsEnabled(bool enabled);
    void ReadAxisFields(float& xmax, float& ymax, float& ymin) const;
    void ApplyAxisRange(float xmax, float ymax, float ymin);
    void EndAcquisition();
    void ClosePort();
    void SourceStateChanged();
    void PortError(const QString& message, const QString& detail);
    void Received(int added);
    void ShowValue();
    void AppendPane(QStringList lines);
    void ScheduleChartFrame();
    void ChartFrame();
    bool FollowData();
    void ViewChanged();
    void UpdateStatus();
    void ShowReadOut(double x);
    void HideReadOut();
    void LoadSettings();
    // The chart's channels with their names: those the acquisition gave, else those of the file.
    std::vector<ChannelSpan> Channels() const;
    QString ChannelLabel(const ChannelSpan& channel, int index) const;
    void UpdateLegend();
    void ToggleChannel(int index);
    QPoint LegendPlace();
    void ShowRate();
    void NoteOddFile(const QString& name);
    // The right axis shows when a channel is on it (the run's, or the loaded file's records).
    bool ArrangeAxes(); // true when a lane appeared
    void ChartLoaded();
    // The channel table's rows in effect: the remembered ones of a device, and the window's state.
    void LoadChannelSettings();
    void SaveChannelSettings() const;
    using OwnCalibration = std::pair<std::optional<double>, std::optional<double>>;
    OwnCalibration RowNumbers(std::size_t channel, const ChannelSetting& row) const;
    void ApplyChannelRow(std::size_t channel, const ChannelSetting& row, const OwnCalibration& own);
    std::optional<ChannelSetting> ReadChannelRow(const QString& group, std::size_t channel) const;
    void DeviceNamed();
    QString ChannelDevice() const;
    int ChannelRows() const;
    void JournalSynced();
    void JournalFault(const EJournalError& e);
    void FillRecentRuns();
    QString RunFileDialog(bool save, const QString& filter, const QString& suffix);

    double scale_ = 1.0;
    QWidget* client_ = nullptr;
    std::unique_ptr<TComPort> port_;
    std::unique_ptr<KartexSink> sink_;
    std::unique_ptr<SerialSource> source_;
    std::unique_ptr<Recording> recording_;
    QStringList shown_; // the lines of the notification under way, for the pane
    // The chart renders received samples at most once per display frame.
    QTimer* frameTimer_ = nullptr;
    QElapsedTimer sinceFrame_;
    bool wasWaiting_ = false; // the device was away when the recording last changed its state
    LocaleSeparator decimalSeparator_{','};
    FileDialogFn fileDialog_;
    MarkTextFn markText_;
    std::unique_ptr<QSettings> settings_;
    bool rememberPort_ = true;
    std::string journalFolder_;
    QString chartRun_;         // the journal run the chart holds, if any
    bool chartLoaded_ = false; // the chart holds a loaded file, not the last acquisition
    std::vector<ChannelSetting> channels_{kMaxChannels}; // every channel's
    std::array<std::string, kMaxChannels> namedRows_;    // device names whose remembered rows were taken
    int xyTrail_ = 0;                                    // XY: the last N points drawn (0: all)
    std::bitset<17> lanesFitted_;                        // lanes (layers) fitted to their first samples
    AskFn ask_;
    bool droppedTold_ = false;     // more values per line than channels: said once per acquisition
    ViewSummary view_;             // of the last frame, for the status bar and the legend
    std::size_t legendCorner_ = 0; // top right, top left, bottom right, bottom left
    // What the legend's place was weighed for: range, plot size, legend size and the channels shown.
    struct LegendKey {
        ViewRange Range;
        int PlotWidth = 0, PlotHeight = 0, Width = 0, Height = 0;
        std::vector<bool> Shown;
        bool operator==(const LegendKey&) const = default;
    };
    LegendKey legendKey_;
    QTimer* rateTimer_ = nullptr; // the rate label, once a second during an acquisition
    QElapsedTimer rateClock_;
    std::int64_t rateSamples_ = 0;
    std::uint64_t cutToldFor_ = ~std::uint64_t{0}; // the list whose file was cut short, once told
    void BeginForwarding();
    std::unique_ptr<Recording> MakeRecording(ListSink& lists);
    void PrepareSources();
    void StartSources();
    void StopSources();
    void UpdateSourcesStatus();
    std::optional<QString> SecretFor(const SourceUrl& url);
    QStringList sourceUrls_;
    bool rememberSources_ = true;
    SourceDialogFn sourceDialog_;
    std::unique_ptr<class SourceMix> mix_; // with further sources: the port's recording is its first lane
    struct ExtraSource {
        SourceUrl Url;
        std::unique_ptr<ByteSource> Reader;
        std::unique_ptr<Recording> Run;
    };
    std::vector<ExtraSource> extras_;
    std::vector<std::pair<const char*, std::function<void(const QString&)>>> captions_;
    std::map<QLabel*, std::function<QString()>> liveTexts_;
    QString language_ = QStringLiteral("de");
    QString panePlaceholder_; // "Rohdaten ..." as the pane shows it in the chosen language
    std::unique_ptr<ForwardingSet> forwarding_;
    QStringList forwardUrls_;
    QString forwardDevice_;
    std::map<QString, QString> secretsInMemory_; // of this session
    std::set<QString> keepOnceTaken_;            // asked for: into the store once the target took them
    AskSecretFn askSecret_;
    ForwardDialogFn forwardDialog_;
    QTimer* forwardTimer_ = nullptr; // the forwarders' states in the status bar, twice a second
};
