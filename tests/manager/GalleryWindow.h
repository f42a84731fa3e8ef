#pragma once
// A window holding one of every styled control, in the active theme: grabbed as the reviewed
// pictures of both themes and timed by the benchmark.

#include "app/MyApplication.h"
#include "themes/ThemeColors.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektComboBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektHelpLabel.h"
#include "widgets/VektLineEdit.h"
#include "widgets/VektProgressBar.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektSettingsWidget.h"
#include "widgets/VektSpinBox.h"
#include "widgets/VektTabBar.h"
#include "widgets/VektTabWidget.h"
#include "widgets/VektTextEdit.h"
#include "widgets/VektToolButton.h"
#include "widgets/VektTopLabel.h"
#include "widgets/VektTreeView.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QStandardItemModel>
#include <QVBoxLayout>

// Makes dark or light the active theme, as the manager does at start.
inline void activateTheme(bool dark)
{
    if (auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance()))
        app->applyTheme(dark ? QStringLiteral("dark") : QStringLiteral("light"));
}

inline QWidget* makeGalleryWindow()
{
    auto* window = new QWidget;
    window->setWindowTitle("Styled controls");
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(new VektTopLabel("Corvane network agent - styled controls"));

    auto* tabs = new VektTabWidget;
    for (const char* title : {"Manage", "Configure", "Logs", "?", "About"})
        tabs->addTab(new QWidget, title);
    layout->addWidget(tabs);

    auto* header = new VektSettingsWidget;
    header->setText("Agent settings");
    layout->addWidget(header);
    // not the header's own help widget, which stays closed until clicked: shown open here
    auto* help = new VektHelpLabel;
    help->setText("The agent connects to the service. <a href=\"more\">Read more</a>");
    layout->addWidget(help);

    auto* group = new VektGroupBox("Connection");
    auto* form = new QFormLayout(group);
    auto* combo = new VektComboBox;
    combo->addItems({"Active", "Passive"});
    form->addRow("Mode", combo);
    auto* spin = new VektSpinBox;
    spin->setRange(1, 65535);
    spin->setValue(3456);
    form->addRow("Port", spin);
    auto* line = new VektLineEdit;
    line->setText("service.example");
    form->addRow("Host", line);
    auto* check = new VektCheckBox;
    check->setText("Use TLS");
    check->setChecked(true);
    form->addRow(check);
    form->addRow(new VektRadioButton("Trusted service only"));
    auto* disabled = new VektCheckBox;
    disabled->setText("Disabled option");
    disabled->setEnabled(false);
    form->addRow(disabled);
    auto* notes = new VektTextEdit;
    notes->editor()->setPlainText("Notes");
    notes->setMinimumHeight(60);
    form->addRow("Notes", notes);
    auto* progress = new VektProgressBar;
    progress->labelText = "Uploading";
    progress->setValue(40);
    form->addRow("Upload", progress);
    auto* tree = new VektTreeView;
    auto* model = new QStandardItemModel(tree);
    auto* root = new QStandardItem("Monitors");
    root->appendRow(new QStandardItem("Ping"));
    root->appendRow(new QStandardItem("Disk space"));
    model->appendRow(root);
    tree->setModel(model);
    tree->setHeaderHidden(true);
    tree->expandAll();
    tree->setMaximumHeight(70);
    form->addRow("Tree", tree);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    auto* tool = new VektToolButton;
    tool->setText("Tools");
    buttons->addWidget(tool);
    auto* apply = new VektPushButton("Apply");
    apply->buttonKind = 14; // the green one
    buttons->addWidget(apply);
    buttons->addWidget(new VektPushButton("Cancel"));
    layout->addLayout(buttons);
    window->resize(480, 700);
    return window;
}
