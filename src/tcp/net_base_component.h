#pragma once

#include "rtl/component.h"

namespace quorvane {

// Common root of the network components; it adds nothing to the component base, but every
// network class (encoders, the cookie manager, the connection) starts from here.
class TNetBaseComponent : public TComponent {
public:
    using TComponent::TComponent;
};

}  // namespace quorvane
