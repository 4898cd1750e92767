#include "ui/qt/fProxySettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <limits>
#include <utility>

#include "ui/qt/qt_system_text.h"
#include "ui/qt/qt_widgets.h"

namespace tarnwell {
namespace {

QLineEdit* MakeField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    // No length limit: a host name or password is never cut behind the user's back.
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

}  // namespace

TfrmProxySettings::TfrmProxySettings(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProxySettings"));
    setWindowTitle(QLatin1String(kProxyDialogCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    QGroupBox* group = MakeGroup("grpProxySettings", QStringLiteral("Proxy Settings"), this);
    chkUseProxy = new QCheckBox(QStringLiteral("Use Proxy Server"), group);
    chkUseProxy->setObjectName(QStringLiteral("chkUseProxy"));
    chkUseProxy->setChecked(false);
    txtHostName = MakeField("txtHostName", group);
    txtPort = MakeField("txtPort", group);
    txtUserName = MakeField("txtUserName", group);
    txtPassword = MakeField("txtPassword", group);
    txtPassword->setEchoMode(QLineEdit::Password);

    auto* fields = new QGridLayout(group);
    fields->addWidget(chkUseProxy, 0, 0, 1, 2);
    const std::pair<const char*, QLineEdit*> rows[] = {{"Host Name", txtHostName},
                                                       {"Port", txtPort},
                                                       {"User", txtUserName},
                                                       {"Password", txtPassword}};
    int row = 1;
    for (const auto& [caption, field] : rows) {
        auto* label = new QLabel(QLatin1String(caption), group);
        label->setBuddy(field);
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row, 1);
        ++row;
    }
    fields->setColumnMinimumWidth(1, 180);

    cmdOK = MakeButton("cmdOK", QStringLiteral("OK"), this);
    cmdCancel = MakeButton("cmdCancel", QStringLiteral("Cancel"), this);
    // Enter presses OK from any field; Esc is the dialog's own reject, as Cancel.
    cmdOK->setDefault(true);
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(chkUseProxy, txtHostName);
    setTabOrder(txtHostName, txtPort);
    setTabOrder(txtPort, txtUserName);
    setTabOrder(txtUserName, txtPassword);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    // toggled comes only with a real change of state, not with every click.
    connect(chkUseProxy, &QCheckBox::toggled, this, &TfrmProxySettings::chkUseProxyChange);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmProxySettings::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmProxySettings::cmdCancelClick);
    chkUseProxyChange();
}

void TfrmProxySettings::Fill(const ProxySettingsForm& form) {
    chkUseProxy->setChecked(form.useProxy);
    txtHostName->setText(FromSystemText(form.hostName));
    txtPort->setText(FromSystemText(form.port));
    txtUserName->setText(FromSystemText(form.userName));
    txtPassword->setText(FromSystemText(form.password));
}

ProxySettingsForm TfrmProxySettings::Read() const {
    return ProxySettingsForm{chkUseProxy->isChecked(), ToSystemText(txtHostName->text()),
                             ToSystemText(txtPort->text()), ToSystemText(txtUserName->text()),
                             ToSystemText(txtPassword->text())};
}

void TfrmProxySettings::SetFieldsEnabled(bool enabled) {
    for (QLineEdit* field : {txtHostName, txtPort, txtUserName, txtPassword})
        field->setEnabled(enabled);
}

bool TfrmProxySettings::RunModal() {
    return exec() == QDialog::Accepted;
}

void TfrmProxySettings::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnMainWindow(this);
    QDialog::showEvent(event);
}

}  // namespace tarnwell
