#pragma once

#include "link/ConsoleLink.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class Notebook;
class OperatorDetails;
class Panel;
class PictureButton;
class QComboBox;
class QLabel;
class QWidget;
class RadioGroup;

// The opening page (Opening), where the judge says who they are and links the station: the
// server's address (IPSelectionGroupBox, HostIP), Connect Console, Refresh IP List, Close and
// Disconnect Console, the function (ClientChoice), the discipline (DisciplineSelection, hidden),
// TestImage, the instructions, and the operator's details (OperatorDetails). The station state
// holds the function and the discipline; the groups show them, and their changes by the user
// come out as signals.
class OpeningPage : public QObject, public OpeningView
{
    Q_OBJECT
public:
    // Builds the page as the first page of `notebook`.
    explicit OpeningPage(Notebook *notebook);
    ~OpeningPage() override;

    OperatorDetails &details() { return *details_; }

    // Shows function `index` (0 is Judge 1) as chosen; functionChosen follows.
    void showFunction(int index);
    // Shows the discipline (0 individual, 1 synchro); disciplineChosen follows.
    void showDiscipline(int index);
    // Selects the entry of the server list that reads `address`, if there is one.
    void selectServer(const QString &address);
    // Whether an entry of the server list is selected (none until the list is filled).
    bool serverSelected() const;
    // Whether `w` is one of the page's elements.
    bool holds(const QWidget *w) const;

    // OpeningView
    void setServerAddresses(const QStringList &entries) override;
    QString selectedServer() const override;
    void showLinked(bool linked) override;
    bool linkedShown() const override;
    void focusConnect() override;

signals:
    void connectClicked();
    void disconnectClicked();
    void refreshClicked();
    void closeClicked();
    void functionChosen(int index);    // ClientChoice changed
    void disciplineChosen(int index);  // DisciplineSelection changed
    void serverChanged();              // another entry of the server list

private:
    QWidget *Opening;
    QLabel *LabelWhoAreYou;
    Panel *PanelOpening;
    QWidget *IPSelectionGroupBox;
    QComboBox *HostIP;
    PictureButton *ConnectConsoles, *ButtonRefresh, *ButtonClose, *DisconnectConsoles;
    RadioGroup *ClientChoice, *DisciplineSelection;
    QLabel *TestImage;
    QLabel *LabelOpeningInstructions;
    std::unique_ptr<OperatorDetails> details_;
};
