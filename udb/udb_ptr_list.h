// udb_ptr_list<T>: an ordered list of heap objects that the list owns.
//
// Schemas own their field descriptors and records own their fields; both keep
// them in this list.  Elements are never null: push_back of a null pointer is
// an internal error.  Iteration and indexing give references to the objects
// themselves, not to the owning pointers, so callers cannot take ownership by
// accident.  Not thread-safe.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "tk_exception.h"

template <class T>
class udb_ptr_list {
    using storage = std::vector<std::unique_ptr<T>>;

  public:
    // Random-access iterator over the owned objects (dereferences to T&).
    template <class Base, class Ref>
    class basic_iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::remove_cv_t<std::remove_reference_t<Ref>>;
        using difference_type = std::ptrdiff_t;
        using pointer = std::remove_reference_t<Ref>*;
        using reference = Ref;

        basic_iterator() = default;
        explicit basic_iterator(Base it) : it_(it) {}

        reference operator*() const { return **it_; }
        pointer operator->() const { return it_->get(); }
        reference operator[](difference_type n) const { return *it_[n]; }
        basic_iterator& operator++() {
            ++it_;
            return *this;
        }
        basic_iterator operator++(int) { return basic_iterator(it_++); }
        basic_iterator& operator--() {
            --it_;
            return *this;
        }
        basic_iterator operator--(int) { return basic_iterator(it_--); }
        basic_iterator& operator+=(difference_type n) {
            it_ += n;
            return *this;
        }
        basic_iterator& operator-=(difference_type n) {
            it_ -= n;
            return *this;
        }
        friend basic_iterator operator+(basic_iterator a, difference_type n) { return a += n; }
        friend basic_iterator operator+(difference_type n, basic_iterator a) { return a += n; }
        friend basic_iterator operator-(basic_iterator a, difference_type n) { return a -= n; }
        friend difference_type operator-(const basic_iterator& a, const basic_iterator& b) {
            return a.it_ - b.it_;
        }
        friend bool operator==(const basic_iterator& a, const basic_iterator& b) = default;
        friend auto operator<=>(const basic_iterator& a, const basic_iterator& b) = default;

        // The position in the underlying vector (for erase).
        Base base() const { return it_; }

      private:
        Base it_{};
    };
    using iterator = basic_iterator<typename storage::iterator, T&>;
    using const_iterator = basic_iterator<typename storage::const_iterator, const T&>;

    udb_ptr_list() = default;
    udb_ptr_list(udb_ptr_list&&) noexcept = default;
    udb_ptr_list& operator=(udb_ptr_list&&) noexcept = default;
    // Copying is left to the owners that know how to copy their elements.
    udb_ptr_list(const udb_ptr_list&) = delete;
    udb_ptr_list& operator=(const udb_ptr_list&) = delete;
    ~udb_ptr_list() = default;

    size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }
    void reserve(size_t n) { items_.reserve(n); }

    // REQUIRES: i < size() (otherwise tk_mail_assertion).
    T& operator[](size_t i) { return at(i); }
    const T& operator[](size_t i) const { return at(i); }
    T& at(size_t i) {
        TK_ASSERT(i < items_.size());
        return *items_[i];
    }
    const T& at(size_t i) const {
        TK_ASSERT(i < items_.size());
        return *items_[i];
    }
    // REQUIRES: !empty().
    T& front() { return at(0); }
    const T& front() const { return at(0); }
    T& back() {
        TK_ASSERT(!items_.empty());
        return *items_.back();
    }
    const T& back() const {
        TK_ASSERT(!items_.empty());
        return *items_.back();
    }

    iterator begin() noexcept { return iterator(items_.begin()); }
    iterator end() noexcept { return iterator(items_.end()); }
    const_iterator begin() const noexcept { return const_iterator(items_.begin()); }
    const_iterator end() const noexcept { return const_iterator(items_.end()); }
    const_iterator cbegin() const noexcept { return begin(); }
    const_iterator cend() const noexcept { return end(); }

    // Takes ownership of item and appends it; returns the object.
    // REQUIRES: item is not null (otherwise tk_mail_assertion; nothing is added).
    template <class U>
    T& push_back(std::unique_ptr<U> item) {
        TK_ASSERT(item != nullptr);
        items_.push_back(std::move(item));
        return *items_.back();
    }
    // Builds a T (or a class derived from it, when given) in place and appends it.
    template <class U = T, class... Args>
    U& emplace_back(Args&&... args) {
        auto item = std::make_unique<U>(std::forward<Args>(args)...);
        U& ref = *item;
        items_.push_back(std::move(item));
        return ref;
    }
    // Destroys the element at i.  REQUIRES: i < size().
    void erase(size_t i) {
        TK_ASSERT(i < items_.size());
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // Gives up ownership of the element at i and removes it from the list.
    // REQUIRES: i < size().
    std::unique_ptr<T> release(size_t i) {
        TK_ASSERT(i < items_.size());
        std::unique_ptr<T> item = std::move(items_[i]);
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return item;
    }
    // Destroys every element, last first.
    void clear() noexcept {
        while (!items_.empty()) items_.pop_back();
    }

  private:
    storage items_;
};
