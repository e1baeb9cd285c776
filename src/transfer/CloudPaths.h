#pragma once

#include <QString>
#include <functional>

namespace nubo::transfer {

// "/a/b" -> "/a", "/b" -> "/".
QString cloudParentPath(const QString& path);
// "/a/b" -> "b".
QString cloudFileName(const QString& path);
// "/" + "b" -> "/b", "/a" + "b" -> "/a/b".
QString cloudJoin(const QString& folder, const QString& name);

// Whether a name from the service may become one entry of a local folder: not empty, not "." or
// "..", no "/" and no NUL. Anything else could write outside the folder the user chose.
bool isSafeLocalName(const QString& name);

// A name "stem(n).ext" (n from 1) for which `taken` answers false.
QString freeName(const QString& name, const std::function<bool(const QString&)>& taken);

} // namespace nubo::transfer
