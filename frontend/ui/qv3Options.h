// The options dialog, which also owns the settings file: it loads the
// settings record when made and saves it whenever asked and when destroyed.
// It lists the hardware devices of the Direct3D enumeration and lets the
// player choose device, display mode, volumes, detail and language.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "frontend/qv3SettingsFile.h"
#include "media/zkD3D.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace qv::ui {

class IMessages;

class TfrmGameOptions : public QDialog {
    Q_OBJECT
public:
    // Loads the settings file at `settingsPath` into the global Environment;
    // with `d3d` (may be null) installs the device and mode filters, lists
    // the adapters and keeps the hardware devices.
    TfrmGameOptions(QWidget* parent, TzkD3D8* d3d, std::string settingsPath, TSettingsHost host,
                    IMessages* messages);
    // Saves the settings a last time.
    ~TfrmGameOptions() override;

    bool NoDeviceFound() const { return devices_.empty(); }
    // The listed device of AdapterIndex and DeviceType, else null.
    TzkD3DDeviceInfo* SelectedDevice() const;
    // The stored DisplayMode on the selected device; all zeros without one.
    void GetSelectedMode(TzkD3DMode& mode) const;
    bool DisplayUsable() const;
    bool IsWindowed() const;
    std::uint8_t ChosenDisplayMode() const;

    void SaveEnvironment();
    void SetDefaults();
    void ClearAllHighScores();
    void ResetScenarioProgress();

    // The controls, for the player and for tests.
    QComboBox* Devices() const { return cbxDevice_; }
    QRadioButton* WindowButton() const { return rbtnWindow_; }
    QRadioButton* FullScreen16Button() const { return rbtnFullscreen16_; }
    QRadioButton* FullScreen32Button() const { return rbtnFullscreen32_; }
    QPushButton* OkButton() const { return btnOk_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    QListWidget* Countries() const { return lbxCountries_; }
    QButtonGroup* Languages() const { return rgLanguage_; }
    QSlider* MusicVolume() const { return tbarMusic_; }
    QSlider* SoundVolume() const { return tbarSoundFX_; }
    QSlider* Detail() const { return tbrGraphicsDetail_; }

public slots:
    void reject() override;
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyCaptions();
    void UpdateModeButtons();
    void UpdateOk();
    TzkD3DDeviceInfo* ShownDevice() const;

    TzkD3D8* d3d_;
    std::string settingsPath_;
    TSettingsHost host_;
    IMessages* messages_;
    std::vector<TzkD3DDeviceInfo*> devices_;
    bool mayClose_ = false;

    QTabWidget* pages_;
    QGroupBox* gbxRenderDevice_;
    QGroupBox* gbxDisplayMode_;
    QComboBox* cbxDevice_;
    QRadioButton* rbtnWindow_;
    QRadioButton* rbtnFullscreen16_;
    QRadioButton* rbtnFullscreen32_;
    QGroupBox* gbxVolume_;
    QLabel* lblMusic_;
    QLabel* lblSoundFX_;
    QSlider* tbarMusic_;
    QSlider* tbarSoundFX_;
    QGroupBox* gbxGraphics_;
    QLabel* lblDetailNormal_;
    QLabel* lblDetailHigh_;
    QSlider* tbrGraphicsDetail_;
    QGroupBox* rgLanguageBox_;
    QButtonGroup* rgLanguage_;
    QLabel* lblCountryLive_;
    QListWidget* lbxCountries_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};

}  // namespace qv::ui
