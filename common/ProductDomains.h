#pragma once

// Web domains of the product's maker. They belong to the deployment: change them here only.
namespace ProductDomains {

// The domain that texts written under the product's former name may still carry.
constexpr const char kFormerWebDomain[] = "tolmar.com";
// The domain that replaces it.
constexpr const char kCurrentWebDomain[] = "corvane.com";

} // namespace ProductDomains
