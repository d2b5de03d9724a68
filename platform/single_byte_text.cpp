// filled by the platform work
