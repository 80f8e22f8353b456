// TfrmLogIn: asks for the lobby name and makes the lobby key, both kept in
// the settings record and saved at once.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class TfrmLogIn : public QDialog {
    Q_OBJECT

public:
    explicit TfrmLogIn(QWidget* parent = nullptr);

    // LobbyAlias := the name in upper case (at most 15), LobbyLoginKey := a
    // new key; saved; accepted.
    void actOkExecute();
    // Nothing is stored.
    void actCancelExecute();
    bool OkEnabled() const;

    QLabel* lblAlias;
    QLabel* lblName;
    QLineEdit* edtAlias;
    QPushButton* Button1;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start();
    void edtAliasChange();
    void actOkUpdate();

    bool started_ = false;
};

// Shows the dialog modally over `owner`; true when the player confirmed.
bool RunLogInDialog(QWidget* owner);

}  // namespace qv
