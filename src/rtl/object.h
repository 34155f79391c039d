#pragma once

namespace quorvane {

// Common root of the plain objects that lists carry as attachments (a section's key list
// hangs on the section's name, a cookie on its name). A list never owns what it carries; the
// virtual destructor only lets the owner hold attachments of mixed classes behind one type.
class TObject {
public:
    TObject() = default;
    virtual ~TObject() = default;

    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
};

}  // namespace quorvane
