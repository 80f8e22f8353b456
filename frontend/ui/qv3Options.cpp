#include "frontend/ui/qv3Options.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "media/zkDisplayMode.h"

namespace qv::ui {

namespace {
constexpr int kHardwareDevice = 1;

int SlotOf(const TSettingsHost& host) { return host.CurrentSlot ? host.CurrentSlot() : 1; }
}  // namespace

TfrmGameOptions::TfrmGameOptions(QWidget* parent, TzkD3D8* d3d, std::string settingsPath, TSettingsHost host,
                                 IMessages* messages)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      d3d_(d3d),
      settingsPath_(std::move(settingsPath)),
      host_(std::move(host)),
      messages_(messages) {
    setWindowTitle("Options");
    setModal(true);

    pages_ = new QTabWidget(this);
    // Graphics
    auto* graphics = new QWidget;
    auto* gl = new QVBoxLayout(graphics);
    gbxRenderDevice_ = new QGroupBox(graphics);
    cbxDevice_ = new QComboBox(gbxRenderDevice_);
    (new QVBoxLayout(gbxRenderDevice_))->addWidget(cbxDevice_);
    gbxDisplayMode_ = new QGroupBox(graphics);
    rbtnWindow_ = new QRadioButton(gbxDisplayMode_);
    rbtnFullscreen16_ = new QRadioButton(gbxDisplayMode_);
    rbtnFullscreen32_ = new QRadioButton(gbxDisplayMode_);
    auto* ml = new QVBoxLayout(gbxDisplayMode_);
    ml->addWidget(rbtnWindow_);
    ml->addWidget(rbtnFullscreen16_);
    ml->addWidget(rbtnFullscreen32_);
    gl->addWidget(gbxRenderDevice_);
    gl->addWidget(gbxDisplayMode_);
    pages_->addTab(graphics, QString());
    // Sound
    auto* sound = new QWidget;
    gbxVolume_ = new QGroupBox(sound);
    lblMusic_ = new QLabel(gbxVolume_);
    lblSoundFX_ = new QLabel(gbxVolume_);
    tbarMusic_ = new QSlider(Qt::Horizontal, gbxVolume_);
    tbarSoundFX_ = new QSlider(Qt::Horizontal, gbxVolume_);
    tbarMusic_->setRange(0, 100);
    tbarSoundFX_->setRange(0, 100);
    auto* vl = new QGridLayout(gbxVolume_);
    vl->addWidget(lblMusic_, 0, 0);
    vl->addWidget(tbarMusic_, 0, 1);
    vl->addWidget(lblSoundFX_, 1, 0);
    vl->addWidget(tbarSoundFX_, 1, 1);
    (new QVBoxLayout(sound))->addWidget(gbxVolume_);
    pages_->addTab(sound, QString());
    // Detail
    auto* detail = new QWidget;
    gbxGraphics_ = new QGroupBox(detail);
    lblDetailNormal_ = new QLabel(gbxGraphics_);
    lblDetailHigh_ = new QLabel(gbxGraphics_);
    tbrGraphicsDetail_ = new QSlider(Qt::Horizontal, gbxGraphics_);
    tbrGraphicsDetail_->setRange(0, 1);
    tbrGraphicsDetail_->setPageStep(1);
    auto* dl = new QHBoxLayout(gbxGraphics_);
    dl->addWidget(lblDetailNormal_);
    dl->addWidget(tbrGraphicsDetail_);
    dl->addWidget(lblDetailHigh_);
    (new QVBoxLayout(detail))->addWidget(gbxGraphics_);
    pages_->addTab(detail, QString());
    // Language
    auto* language = new QWidget;
    auto* ll = new QVBoxLayout(language);
    rgLanguageBox_ = new QGroupBox(language);
    rgLanguage_ = new QButtonGroup(this);
    auto* rl = new QGridLayout(rgLanguageBox_);
    const char* names[] = {"English", "German", "Fran\u00E7ais", "Italiano"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(names[i]), rgLanguageBox_);
        rgLanguage_->addButton(b, i);
        rl->addWidget(b, 0, i);
    }
    lblCountryLive_ = new QLabel(language);
    lbxCountries_ = new QListWidget(language);
    lblCountryLive_->hide();
    lbxCountries_->hide();
    ll->addWidget(rgLanguageBox_);
    ll->addWidget(lblCountryLive_);
    ll->addWidget(lbxCountries_);
    ll->addStretch();
    pages_->addTab(language, QString());

    btnOk_ = new QPushButton("OK", this);
    btnOk_->setDefault(true);
    btnCancel_ = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(pages_);
    top->addLayout(buttons);
    resize(321, 281);

    connect(btnOk_, &QPushButton::clicked, this, &TfrmGameOptions::accept);
    connect(btnCancel_, &QPushButton::clicked, this, &TfrmGameOptions::reject);
    connect(cbxDevice_, &QComboBox::currentIndexChanged, this, [this] { UpdateModeButtons(); });
    for (QRadioButton* b : {rbtnWindow_, rbtnFullscreen16_, rbtnFullscreen32_})
        connect(b, &QRadioButton::toggled, this, [this] { UpdateOk(); });

    LoadEnvironment(Environment, settingsPath_, host_);
    if (d3d_) {
        try {
            InstallGameModeFilters(*d3d_);
            d3d_->EnumerateAdapters();
            for (int a = 0; a < d3d_->AdapterCount(); ++a) {
                TzkD3DAdapterInfo* adapter = d3d_->Adapters(a);
                for (int d = 0; d < adapter->DeviceCount(); ++d) {
                    TzkD3DDeviceInfo* device = adapter->Devices(d);
                    if (device->DeviceType != kHardwareDevice) continue;
                    devices_.push_back(device);
                    cbxDevice_->addItem(QText(adapter->Identifier.Description));
                }
            }
        } catch (const std::exception& e) {
            if (messages_) messages_->Error(std::string("Error initializing application: ") + e.what());
        }
    }
}

TfrmGameOptions::~TfrmGameOptions() { SaveEnvironment(); }

TzkD3DDeviceInfo* TfrmGameOptions::SelectedDevice() const {
    for (TzkD3DDeviceInfo* device : devices_) {
        if (device->Adapter && static_cast<std::int32_t>(device->Adapter->Ordinal) == Environment.AdapterIndex &&
            static_cast<std::int32_t>(device->DeviceType) == Environment.DeviceType)
            return device;
    }
    return nullptr;
}

void TfrmGameOptions::GetSelectedMode(TzkD3DMode& mode) const {
    mode = TzkD3DMode();
    if (TzkD3DDeviceInfo* device = SelectedDevice()) FindDisplayMode(device, Environment.DisplayMode, mode);
}

bool TfrmGameOptions::DisplayUsable() const { return SelectedDevice() && Environment.DisplayMode != dmNone; }
bool TfrmGameOptions::IsWindowed() const { return Environment.DisplayMode == dmWindow; }

void TfrmGameOptions::SaveEnvironment() { qv::SaveEnvironment(Environment, settingsPath_, host_); }

void TfrmGameOptions::SetDefaults() {
    Environment.SetDefaults(host_.VideoMemory ? host_.VideoMemory() : 0, SlotOf(host_));
}
void TfrmGameOptions::ClearAllHighScores() { Environment.ClearAllHighScores(SlotOf(host_)); }
void TfrmGameOptions::ResetScenarioProgress() { Environment.ResetScenarioProgress(SlotOf(host_)); }

TzkD3DDeviceInfo* TfrmGameOptions::ShownDevice() const {
    const int i = cbxDevice_->currentIndex();
    return i >= 0 && i < static_cast<int>(devices_.size()) ? devices_[static_cast<std::size_t>(i)] : nullptr;
}

void TfrmGameOptions::ApplyCaptions() {
    pages_->setTabText(3, QText(LangText(36)));
    rgLanguageBox_->setTitle(QText(LangText(37) + ": "));
    lblCountryLive_->setText(QText(LangText(38)));
    btnCancel_->setText(QText(LangText(75)));
    pages_->setTabText(0, QText(LangText(39)));
    gbxRenderDevice_->setTitle(QText(LangText(40)));
    gbxDisplayMode_->setTitle(QText(LangText(41)));
    rbtnWindow_->setText(QText(LangText(42)));
    rbtnFullscreen16_->setText(QText(LangText(43)));
    rbtnFullscreen32_->setText(QText(LangText(44)));
    pages_->setTabText(1, QText(LangText(45)));
    gbxVolume_->setTitle(QText(LangText(46)));
    lblMusic_->setText(QText(LangText(47)));
    lblSoundFX_->setText(QText(LangText(48)));
    pages_->setTabText(2, QText(LangText(49)));
    gbxGraphics_->setTitle(QText(LangText(50)));
    lblDetailNormal_->setText(QText(LangText(51)));
    lblDetailHigh_->setText(QText(LangText(52)));
}

void TfrmGameOptions::showEvent(QShowEvent* event) {
    ApplyCaptions();
    pages_->setCurrentIndex(0);
    tbarMusic_->setValue(Environment.MusicVolume);
    tbarSoundFX_->setValue(Environment.SoundVolume);
    QRadioButton* stored = Environment.DisplayMode == dmWindow         ? rbtnWindow_
                           : Environment.DisplayMode == dmFullScreen16 ? rbtnFullscreen16_
                           : Environment.DisplayMode == dmFullScreen32 ? rbtnFullscreen32_
                                                                       : nullptr;
    if (stored) stored->setChecked(true);
    int item = 0;
    if (TzkD3DDeviceInfo* selected = SelectedDevice()) {
        for (std::size_t i = 0; i < devices_.size(); ++i)
            if (devices_[i] == selected) item = static_cast<int>(i);
    }
    cbxDevice_->setCurrentIndex(devices_.empty() ? -1 : item);
    UpdateModeButtons();
    tbrGraphicsDetail_->setValue(Environment.Detail);
    if (QAbstractButton* b = rgLanguage_->button(ReadLanguageIndex())) b->setChecked(true);

    lbxCountries_->clear();
    lbxCountries_->setSortingEnabled(true);
    // A short language file gives fewer countries, never an error out of
    // this event.
    const std::vector<std::string> names = CountryTexts();
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto* entry = new QListWidgetItem(QText(names[i]));
        entry->setData(Qt::UserRole, static_cast<int>(i) + 1);
        lbxCountries_->addItem(entry);
    }
    const int country =
        Environment.Country == 0 || Environment.Country > kLastCountryText - kCountryTextOffset ? kDefaultCountry
                                                                                                 : Environment.Country;
    if (static_cast<std::size_t>(country) <= names.size()) {
        const QString wanted = QText(names[static_cast<std::size_t>(country) - 1]);
        for (int i = 0; i < lbxCountries_->count(); ++i) {
            if (lbxCountries_->item(i)->text() == wanted) {
                lbxCountries_->setCurrentRow(i);
                break;
            }
        }
    }
    QDialog::showEvent(event);
}

void TfrmGameOptions::UpdateModeButtons() {
    TzkD3DDeviceInfo* device = ShownDevice();
    rbtnWindow_->setEnabled(device && device->CanDoWindowed);
    rbtnFullscreen16_->setEnabled(false);
    rbtnFullscreen32_->setEnabled(false);
    if (device) {
        for (const TzkD3DMode& m : device->Modes) (Is32BitFormat(m.Format) ? rbtnFullscreen32_ : rbtnFullscreen16_)->setEnabled(true);
    }
    UpdateOk();
}

std::uint8_t TfrmGameOptions::ChosenDisplayMode() const {
    if (rbtnFullscreen32_->isEnabled() && rbtnFullscreen32_->isChecked()) return dmFullScreen32;
    if (rbtnFullscreen16_->isEnabled() && rbtnFullscreen16_->isChecked()) return dmFullScreen16;
    if (rbtnWindow_->isEnabled() && rbtnWindow_->isChecked()) return dmWindow;
    return dmNone;
}

void TfrmGameOptions::UpdateOk() { btnOk_->setEnabled(ChosenDisplayMode() != dmNone); }

void TfrmGameOptions::accept() {
    if (ChosenDisplayMode() == dmNone) return;
    mayClose_ = true;
    Environment.MusicVolume = tbarMusic_->value();
    Environment.SoundVolume = tbarSoundFX_->value();
    Environment.Detail = static_cast<std::uint8_t>(tbrGraphicsDetail_->value());
    if (TzkD3DDeviceInfo* device = ShownDevice()) {
        Environment.AdapterIndex = static_cast<std::int32_t>(device->Adapter ? device->Adapter->Ordinal : 0);
        Environment.DeviceType = static_cast<std::int32_t>(device->DeviceType);
    }
    Environment.DisplayMode = ChosenDisplayMode();
    QListWidgetItem* country = lbxCountries_->currentItem();
    Environment.Country = static_cast<std::uint16_t>(country ? country->data(Qt::UserRole).toInt() : kDefaultCountry);
    SaveEnvironment();
    const int language = rgLanguage_->checkedId();
    SetLanguage(language < 0 ? 0 : language);
    QDialog::accept();
}

void TfrmGameOptions::reject() {
    // Esc and the window's close button come here too: only Cancel (or an
    // earlier OK or Cancel) lets the dialog go.
    if (!mayClose_ && sender() != btnCancel_) return;
    mayClose_ = true;
    QDialog::reject();
}

void TfrmGameOptions::closeEvent(QCloseEvent* event) {
    if (!mayClose_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace qv::ui
