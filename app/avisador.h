#pragma once
#include <string>

namespace autorep::app {

// Where the program's message boxes go: the windows show them with
// QMessageBox, the batch command writes them to standard error, tests record
// them. Texts are Windows-1252 bytes.
class Avisador {
public:
    virtual ~Avisador() = default;
    // A plain message box with an OK button.
    virtual void mensaje(const std::string& texto) = 0;
    // An information box with an OK button.
    virtual void informacion(const std::string& texto) = 0;
};

}  // namespace autorep::app
