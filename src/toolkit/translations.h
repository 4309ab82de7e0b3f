#pragma once

class QCoreApplication;

namespace toolkit {

// Loads Qt's German translations, so standard buttons read "Ja", "Nein" and the folder dialog
// is German whatever the system language. Returns false when none could be loaded.
bool installGermanTranslations(QCoreApplication &app);

} // namespace toolkit
