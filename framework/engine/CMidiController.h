#pragma once

// Root of the engine hierarchy; it carries no behaviour of its own.
class CMidiController {
public:
    virtual ~CMidiController() = default;
};
