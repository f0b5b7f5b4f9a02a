#include "host/GtkFolderPanel.h"

#include <gtk/gtk.h>

bool GtkFolderPanel::ChooseFolder(GtkWidget* parent, const char* title, const char* startFolder,
                                  std::string* chosen) {
  GtkWindow* owner = parent != nullptr ? GTK_WINDOW(gtk_widget_get_toplevel(parent)) : nullptr;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      title, owner, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel", GTK_RESPONSE_CANCEL,
      "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  // A folder that is not there (the first-run picture folder is one on
  // Linux) starts the panel in the home folder rather than in its list of
  // recent files, where nothing can be chosen.
  const bool startExists = startFolder != nullptr && startFolder[0] != '\0' &&
                           g_file_test(startFolder, G_FILE_TEST_IS_DIR);
  gtk_file_chooser_set_current_folder(chooser, startExists ? startFolder : g_get_home_dir());
  bool confirmed = false;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* path = gtk_file_chooser_get_filename(chooser)) {
      *chosen = path;
      g_free(path);
      confirmed = true;
    }
  }
  gtk_widget_destroy(dialog);
  return confirmed;
}
