#include "screens/OpeningPage.h"

#include "screens/OperatorDetails.h"
#include "screens/PageElements.h"
#include "station/StationState.h"
#include "widgets/DockLayout.h"
#include "widgets/Notebook.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"
#include "widgets/RadioGroup.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

using design::kBlue;
using design::kGrey;
using design::kSilver;
using design::place;
using design::verdana;

OpeningPage::OpeningPage(Notebook *notebook)
{
    Opening = notebook->addPage(QStringLiteral("Opening"));
    auto *page = new DockLayout(Opening);
    LabelWhoAreYou = makeLabel(Opening, QStringLiteral("LabelWhoAreYou"), QStringLiteral("Who are you?"), verdana(21),
                               Qt::white, kBlue, Qt::AlignCenter);
    PanelOpening = new Panel(Opening, QStringLiteral("PanelOpening"));
    PanelOpening->setGradient(kBlue, kGrey, 235);
    page->addDocked(LabelWhoAreYou, DockLayout::Top, 26);
    page->addDocked(PanelOpening, DockLayout::Fill);

    auto *group = new QGroupBox(QStringLiteral("Quorra IP Address"), PanelOpening);
    group->setObjectName(QStringLiteral("IPSelectionGroupBox"));
    group->setFont(verdana(13));
    QPalette gp = group->palette();
    gp.setColor(QPalette::WindowText, Qt::white);
    group->setPalette(gp);
    place(group, 16, 16, 225, 57);
    IPSelectionGroupBox = group;

    HostIP = new QComboBox(group);
    HostIP->setObjectName(QStringLiteral("HostIP"));
    HostIP->setEditable(false);
    HostIP->setMaxVisibleItems(20);
    HostIP->setFont(verdana(16));
    place(HostIP, 8, 23, 209, 26);

    ConnectConsoles = new PictureButton(PanelOpening, QStringLiteral("ConnectConsoles"), QStringLiteral("Connect Console"),
                                        PictureButton::Arrow);
    ConnectConsoles->setFont(verdana(16));
    place(ConnectConsoles, 14, 104, 227, 84);
    ButtonRefresh = new PictureButton(PanelOpening, QStringLiteral("ButtonRefresh"), QStringLiteral("Refresh IP List"));
    ButtonRefresh->setFont(verdana(13));
    place(ButtonRefresh, 14, 204, 227, 32);
    ButtonClose = new PictureButton(PanelOpening, QStringLiteral("ButtonClose"), QStringLiteral("Close"), PictureButton::Door);
    ButtonClose->setFont(verdana(16));
    ButtonClose->setBaseColor(kSilver);
    place(ButtonClose, 16, 270, 225, 107);
    // The page's buttons take the focus from the keyboard only (Tab), never from a touch.
    for (PictureButton *b : {ConnectConsoles, ButtonRefresh, ButtonClose})
        b->setFocusPolicy(Qt::TabFocus);

    QStringList judges;
    for (int i = 0; i < 11; ++i)
        judges << StationState::functionCaption(i);
    ClientChoice = new RadioGroup(PanelOpening, QStringLiteral("ClientChoice"), QStringLiteral("Which Function?"), judges, 4);
    ClientChoice->setFont(verdana(19));
    QPalette cp = ClientChoice->palette();
    cp.setColor(QPalette::WindowText, Qt::white);
    ClientChoice->setPalette(cp);
    place(ClientChoice, 248, 16, 513, 361);

    DisconnectConsoles = new PictureButton(PanelOpening, QStringLiteral("DisconnectConsoles"),
                                           QStringLiteral("Disconnect Console"), PictureButton::Power);
    place(DisconnectConsoles, 606, 348, 227, 32);
    DisconnectConsoles->hide();
    DisconnectConsoles->setEnabled(false);

    DisciplineSelection = new RadioGroup(PanelOpening, QStringLiteral("DisciplineSelection"), QStringLiteral("Which Event"),
                                         {QStringLiteral("Individual Event"), QStringLiteral("Synchro Event")}, 1);
    place(DisciplineSelection, 648, 280, 169, 105);
    DisciplineSelection->setItemIndex(0);
    DisciplineSelection->hide();

    TestImage = new QLabel(PanelOpening);
    TestImage->setObjectName(QStringLiteral("TestImage"));
    place(TestImage, 488, 336, 736, 60);
    TestImage->hide();

    LabelOpeningInstructions = makeLabel(
        PanelOpening, QStringLiteral("LabelOpeningInstructions"),
        QStringLiteral("Press F9 to see this screen again. Press F5 to hide/show detailed connections activity."),
        verdana(11, false), Qt::white, Qt::black, Qt::AlignCenter);
    details_ = std::make_unique<OperatorDetails>(PanelOpening);
    auto *od = new DockLayout(PanelOpening);
    od->addDocked(LabelOpeningInstructions, DockLayout::Bottom, 17);
    details_->dockIn(*od);

    connect(ConnectConsoles, &QAbstractButton::clicked, this, &OpeningPage::connectClicked);
    connect(DisconnectConsoles, &QAbstractButton::clicked, this, &OpeningPage::disconnectClicked);
    connect(ButtonRefresh, &QAbstractButton::clicked, this, &OpeningPage::refreshClicked);
    connect(ButtonClose, &QAbstractButton::clicked, this, &OpeningPage::closeClicked);
    connect(ClientChoice, &RadioGroup::changed, this, &OpeningPage::functionChosen);
    connect(DisciplineSelection, &RadioGroup::changed, this, &OpeningPage::disciplineChosen);
    connect(HostIP, &QComboBox::currentTextChanged, this, &OpeningPage::serverChanged);
}

OpeningPage::~OpeningPage() = default;

void OpeningPage::showFunction(int index)
{
    ClientChoice->setItemIndex(index);
}

void OpeningPage::showDiscipline(int index)
{
    DisciplineSelection->setItemIndex(index);
}

void OpeningPage::selectServer(const QString &address)
{
    for (int i = 0; i < HostIP->count(); ++i)
        if (HostIP->itemText(i) == address)
            HostIP->setCurrentIndex(i);
}

bool OpeningPage::serverSelected() const
{
    return HostIP->currentIndex() >= 0;
}

bool OpeningPage::holds(const QWidget *w) const
{
    return Opening->isAncestorOf(w);
}

void OpeningPage::setServerAddresses(const QStringList &entries)
{
    HostIP->clear();
    HostIP->addItems(entries);
    HostIP->setCurrentIndex(0);
}

QString OpeningPage::selectedServer() const
{
    return HostIP->currentText();
}

void OpeningPage::showLinked(bool linked)
{
    ConnectConsoles->setEnabled(!linked);
    DisconnectConsoles->setEnabled(linked);
}

bool OpeningPage::linkedShown() const
{
    return DisconnectConsoles->isEnabled();
}

void OpeningPage::focusConnect()
{
    if (ConnectConsoles->isEnabled())
        ConnectConsoles->setFocus();
}
