#pragma once
// Asks the user for one folder: the configuration sheet's folder panels.
//
// The sheet asks through this interface so that tests can answer in the
// user's place; GtkFolderPanel is the real dialog.
#include <string>

typedef struct _GtkWidget GtkWidget;

class FolderPanel {
 public:
  virtual ~FolderPanel() = default;
  // Shows a panel titled `title` over `parent` (may be null), offering
  // folders only, one at a time, starting in `startFolder` (an empty or
  // missing folder: the panel's own choice), and waits for the answer. True
  // with the chosen folder's path in *chosen when the user confirmed; false,
  // *chosen untouched, when they cancelled or closed the panel.
  virtual bool ChooseFolder(GtkWidget* parent, const char* title, const char* startFolder,
                            std::string* chosen) = 0;
};
