#pragma once
// The folder panel as GTK's file chooser dialog in select-folder mode, run
// modally over the sheet.
#include "host/FolderPanel.h"

class GtkFolderPanel final : public FolderPanel {
 public:
  bool ChooseFolder(GtkWidget* parent, const char* title, const char* startFolder,
                    std::string* chosen) override;
};
