#pragma once
// The bflytool commands; each returns the exit status (see Bflytool.h).
#include <ostream>
#include <string>
#include <vector>

int InfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ValidateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int UnpackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PreviewCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int DownloadCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
